// The pre-recorder: a small skinned window, always on top, that records a take
// from a wave input device (start and stop keys, a live line trace of the input,
// a recording LED, the output file's name, which opens a save dialog when
// clicked) and hands the finished take to the main window with message 0x8001.
// A right-click on its background opens the configuration dialog. The main
// window creates it hidden with itself and shows or hides it with its toggle.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "core/HostTypes.h"
#include "recording/PreRecorder.h"
#include "resources/window_layout.h"
#include "ui/framework/FileDialog.h"
#include "ui/framework/UserInterface.h"
#include "ui/plugin/WaveTrace.h"

class ImageSwitch;
class Picture;
class PushButton;
class Surface;
class TextDisplay;

// Sent (and waited for) to the main window when a take has been finished.
constexpr UINT kMsgTakeFinished = WM_APP + 1;
// Sent to the main window before a take starts, lParam the take's path: the
// result is the track (1 to 4) that has that file loaded, or 0.
constexpr UINT kMsgTrackOfPath = WM_APP + 2;
// Posted to the pre-recorder by the recorder's threads when a take ended by itself
// (a failed write, the size limit, a silent device, a full ring): the take is
// stopped and handed over.
constexpr UINT kMsgTakeEnded = WM_APP + 3;

class PreRecorderWindow : public UserInterface {
 public:
  PreRecorderWindow();
  ~PreRecorderWindow() override;

  // Inside the main window's OnCreate: the window, hidden, with the main window's
  // class, icons and cursor, shaped by mask 131 and centred. Takes go to mainWindow
  // (message 0x8001); the host's set-up record sizes the buffers. 0 or 18.
  int CreateHidden(HINSTANCE instance, const WindowDescription& mainDescription, HWND mainWindow,
                   const SetupRecord* setup);

  bool OnCreate() override;
  bool LoadBitmaps() override;
  void FreeBitmaps() override;
  int CreateControls() override;
  // Closing is refused until the main window's tear-down allows it.
  bool CanClose() override;
  int OnDestroy() override;
  bool OnCommand(WPARAM wParam, LPARAM lParam) override;
  void OnPaint(HDC dc, const PAINTSTRUCT& paint) override;
  // kMsgTakeEnded: the take that ended by itself is stopped and handed over.
  LRESULT OnUserMessage(UINT message, LPARAM lParam, WPARAM wParam) override;
  // A right-click on the background (or a disabled control) while idle: the configuration dialog.
  void OnControlContextMenu(Control* control, int screenX, int screenY) override;

  // A new generated output name (not while a take runs), shown in the output display.
  void NewOutputName();
  // The save dialog; a chosen path becomes the output path.
  void BrowseOutputFile();
  // The start and stop keys' sequences. 0 or the code already reported.
  int StartRecording();
  int StopRecording();
  // The configuration dialog, modally; applies a confirmed change.
  void Configure();
  // The main window's tear-down: a running take is stopped and its file finished
  // (not handed over), and the window may close.
  void PrepareTearDown();

  // The last finished take: its path and channel count (for message 0x8001).
  const char* TakePath() const { return takePath_; }
  int TakeChannels() const { return takeChannels_; }

  PreRecorder& Recorder() { return recorder_; }
  WaveTrace* Trace() const { return trace_.get(); }
  bool RecordingShown() const;
  TextDisplay* OutputDisplay() const { return output_; }
  const FileDialog& SaveDialog() const { return saveDialog_; }

  // The device's data callback, on the recorder's writer thread: the block feeds the
  // trace's columns; drawing and painting happen on the window's thread.
  static void OnRecordedBlock(void* context, const uint8_t* block, uint32_t bytes);
  // The device's take-ended callback, on one of the recorder's threads: posts kMsgTakeEnded.
  static void OnTakeEnded(void* context);

 private:
  // Buttons, output display and LED for recording on or off.
  void ShowRecordingState(bool recording);
  // The trace takes the recorder's format, is cleared and redrawn.
  void ResetTrace();
  // Draws fed columns onto the trace's surface; on the window's thread.
  void DrawFedTrace();
  // Error 104 when a track has the output file loaded (a take would replace it).
  int RefuseLoadedOutput();
  // Error 103 when the take just stopped had ended by itself, saying why (for a
  // silent device: which device, the file and the take's length).
  void ReportTakeEnd();
  // The output display shows the output path's name.
  void ShowOutputName();

  HWND mainWindow_ = nullptr;
  const SetupRecord* setup_ = nullptr;
  bool closeAllowed_ = false;
  std::unique_ptr<Surface> background_;
  std::unique_ptr<Surface> ledLit_;
  std::unique_ptr<Surface> ledUnlit_;
  Picture* picture_ = nullptr;
  PushButton* start_ = nullptr;
  PushButton* stop_ = nullptr;
  ImageSwitch* led_ = nullptr;
  TextDisplay* output_ = nullptr;
  FileDialog saveDialog_;
  PreRecorder recorder_;
  std::unique_ptr<WaveTrace> trace_;
  char takePath_[260] = {};
  char message_[2 * MAX_PATH + 512] = {};
  int takeChannels_ = 1;

  // The trace's columns are written by the recorder's writer thread and drawn by the
  // window's: both under this guard, held only for the columns' work.
  CRITICAL_SECTION traceGuard_;
  volatile LONG traceFed_ = 0;
  RECT traceRect_ = {kRecorderTrace.left, kRecorderTrace.top, RightOf(kRecorderTrace), BottomOf(kRecorderTrace)};
};
