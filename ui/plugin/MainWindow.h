// The plug-in's main window object: the home of the channel engine and, once
// the host asks for it, the skinned window with the four channel strips and the
// pre-recorder toggle. The object lives from attach to detach; its window can be
// created and destroyed again and again, and shows the channels as they are.
// MainWindow.cpp holds the window's lifecycle and command dispatch,
// MainWindowDrops.cpp the drop routing, MainWindowDisplay.cpp the display of
// the channels (changes reported by other threads included).
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "engine/ChannelEngine.h"
#include "ui/framework/FileDialog.h"
#include "ui/framework/UserInterface.h"
#include "ui/plugin/ChannelStrip.h"
#include "ui/plugin/PreRecorderWindow.h"

class PushButton;
class Registry;
class Surface;

class MainWindow : public UserInterface, public ChannelView {
 public:
  MainWindow();
  // Destroys a window still open on this thread, then the channels and strip images.
  ~MainWindow() override;

  // All four channel locks and strip images exist.
  bool Valid() const;
  ChannelEngine& Engine() { return engine_; }

  // The settings store that keeps the window position (the plug-in's).
  void SetSettings(Registry* settings) { settings_ = settings; }

  // createUserInterface, on the thread that will run the window's messages:
  // 0 when the window exists (also when it existed already), else the reported 18.
  int CreateUserInterface(HINSTANCE instance, HICON icon, HCURSOR cursor, int showCommand);
  // destroyUserInterface: lets the window close, closes it and unregisters its
  // class. 1 when a registered class was unregistered, else 0.
  int DestroyUserInterface();
  // onPluginSwitch: show (true) or hide the window, when there is one.
  void Switch(bool on);

  // Window hooks.
  // Takes the outline and size from the mask bitmap, then creates the window.
  int Create(bool registerClass, const WindowDescription& description, HINSTANCE instance,
             int showCommand) override;
  bool OnCreate() override;
  bool LoadBitmaps() override;
  void FreeBitmaps() override;
  int CreateControls() override;
  void BeforeShow() override;
  bool CanClose() override;
  int OnDestroy() override;
  bool OnCommand(WPARAM wParam, LPARAM lParam) override;
  // Message 0x8001 from the pre-recorder: its finished take goes to the first free track.
  LRESULT OnUserMessage(UINT message, LPARAM lParam, WPARAM wParam) override;
  void OnPaint(HDC dc, const PAINTSTRUCT& paint) override;
  // A quick second click on a button is a click, not a double click.
  void OnLButtonDblClk(LPARAM point, WPARAM keys) override;
  // After every release the switches show the channels' flags again: a switch
  // flips on any release over it, also one that completes no click.
  void OnLButtonUp(LPARAM point, WPARAM keys) override;
  // Files dropped on a strip load into it, as its open button would, and the
  // further files into the free strips after it. A drop that no strip can take
  // says why (error 102 with the reason). See MainWindowDrops.cpp.
  bool OnDropFiles(int x, int y, List* names) override;

  // What the channel engine shows through the window (any thread; see ChannelView
  // and MainWindowDisplay.cpp).
  void ShowChannelState(int c) override;
  void RefreshStrip(int c) override;
  void InvalidatePosition(int c) override;
  void ForgetPressedControl() override;
  void BuildPicture(int c, WaveFile* file, bool stereo) override;

  ChannelStrip& Strip(int c) { return strips_[c]; }
  Surface* StripImage(int c) const { return images_[c].get(); }
  PushButton* PreRecorderToggle() const { return preRecorderToggle_; }
  PreRecorderWindow* PreRecorder() const { return preRecorder_.get(); }
  // The toggle: a hidden pre-recorder gets a new output name, is centred over this
  // window and shown; a shown one is hidden.
  void TogglePreRecorder();
  // Loads a finished take into the first free track (a stereo take into a free
  // pair), as if the user had opened it; 32 is reported when none is free.
  int LoadTake(const char* path, bool stereo);
  const FileDialog& OpenDialog() const { return openDialog_; }
  // The track (1 to 4) that has the file at path loaded, or 0 (kMsgTrackOfPath).
  int TrackOfFile(const char* path);

 private:
  enum SkinImage { kOpen, kClose, kPlayStop, kPause, kSync, kLoop, kLedLit, kLedUnlit, kInfo, kSkinImageCount };

  // Reads channel c's load state under its lock (bounded); false when the lock was busy.
  bool ReadLoadState(int c, StripLoadState* state);
  // True on the thread that runs the window.
  bool OnWindowThread() const;
  // Shows what other threads asked for; on the window's thread only.
  void ApplyPendingDisplay();
  // A display change was recorded: shown now on the window's thread, else at the next paint.
  void DisplayChanged();
  // The strip control that sent a command, or null when lParam is none of ours.
  Control* CommandSource(LPARAM lParam) const;
  void OpenFile(int c);
  // The host ends the window: the dialogs it has open (open, properties) are cancelled.
  void CancelOwnedDialogs();
  void ShowProperties(int c);
  // The first channel from `from` on that is free for the file at path (two
  // neighbouring ones for a stereo file), or -1.
  int FreeChannelFor(const char* path, int from);
  // The first channel from `from` on that can take a mono or stereo file; -1 when none.
  int FreeTrack(bool stereo, int from) const;
  // Reports error 102 with the reason a drop was not taken; true (the drop was answered).
  bool RefuseDrop(const char* reason);
  // Channel c's loop, sync and pause switches show the channel's flags and state.
  void ShowSwitches(int c);

  ChannelEngine engine_;
  Registry* settings_ = nullptr;
  bool tearDown_ = false;
  DWORD windowThread_ = 0;

  std::unique_ptr<Surface> backgroundImage_;
  std::unique_ptr<Surface> skin_[kSkinImageCount];
  std::unique_ptr<Surface> images_[kNumChannels];
  ChannelStrip strips_[kNumChannels];
  PushButton* preRecorderToggle_ = nullptr;
  std::unique_ptr<PreRecorderWindow> preRecorder_;
  // The shared open dialog; it lives with this object, so that a window destroyed
  // while the dialog is shown leaves it nothing dangling.
  FileDialog openDialog_;

  // Display changes from other threads: one bit per channel, the load state copied
  // under the guard (held only for the copy), applied on the window's thread.
  volatile LONG pendingLoad_ = 0;
  volatile LONG pendingState_ = 0;
  StripLoadState shownLoad_[kNumChannels];
  CRITICAL_SECTION displayGuard_;
  // The reason shown for a refused drop.
  char dropReason_[2 * MAX_PATH];
};
