#include "ui/plugin/PreRecorderWindow.h"

#include <cstdio>
#include <memory>
#include <new>

#include "core/ErrorCodes.h"
#include "resources/resource_ids.h"
#include "ui/framework/ImageSwitch.h"
#include "ui/framework/Picture.h"
#include "ui/framework/PushButton.h"
#include "ui/framework/Surface.h"
#include "ui/framework/TextDisplay.h"
#include "ui/plugin/ChannelStrip.h"
#include "ui/plugin/PreRecorderConfigDialog.h"
#include "ui/plugin/WaveTrace.h"
#include "util/PathText.h"

namespace {
const char kSaveFilter[] = "PCM Wave Audio\0*.wav\0";
const char* const kNoOutput = "none";
}  // namespace

PreRecorderWindow::PreRecorderWindow() : saveDialog_(nullptr) { InitializeCriticalSection(&traceGuard_); }

PreRecorderWindow::~PreRecorderWindow() {
  if (Handle() && GetWindowThreadProcessId(Handle(), nullptr) == GetCurrentThreadId()) {
    closeAllowed_ = true;
    DestroyWindow(Handle());
  }
  // No block may reach the trace once it is gone.
  if (recorder_.Recording()) recorder_.Stop();
  if (recorder_.Recorder()) recorder_.Recorder()->SetDataCallback(nullptr, nullptr);
  trace_.reset();
  DeleteCriticalSection(&traceGuard_);
}

int PreRecorderWindow::CreateHidden(HINSTANCE instance, const WindowDescription& mainDescription, HWND mainWindow,
                                    const SetupRecord* setup) {
  // The object may be made again with a new main window: it outlives its windows.
  closeAllowed_ = false;
  mainWindow_ = mainWindow;
  setup_ = setup;
  WindowDescription description;
  description.icon = mainDescription.icon;
  description.smallIcon = mainDescription.smallIcon;
  description.cursor = mainDescription.cursor;
  description.SetClassName(mainDescription.className);
  char title[128];
  LoadText(instance, IDS_PRERECORDER, title, sizeof title);
  description.SetTitle(title);
  description.centre = 1;
  description.taskbar = 0;
  {
    Surface mask(instance, IDB_PRERECORDER_MASK);
    description.region = mask.Valid() ? mask.MakeColourKeyRegion() : nullptr;
    if (!description.region) return Fail(Error::WindowCreate);
    description.width = mask.Width();
    description.height = mask.Height();
  }
  // The main window registered the class.
  return Create(false, description, instance, SW_HIDE);
}

// WM_CREATE: skin and controls (base), then on top, the save dialog, the device, the trace, the first name.
bool PreRecorderWindow::OnCreate() {
  if (!UserInterface::OnCreate()) return false;
  SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  char title[128];
  LoadText(Instance(), IDS_SAVE_WAVE_AS, title, sizeof title);
  saveDialog_.SetParent(Handle());
  saveDialog_.SetInstance(Instance());
  saveDialog_.SetOpen(false);
  saveDialog_.SetTitle(title);
  saveDialog_.SetFilter(kSaveFilter);
  saveDialog_.SetDefaultExtension("wav");
  if (recorder_.SetUp(&PreRecorderWindow::OnRecordedBlock, this) != 0) return false;
  recorder_.Recorder()->SetTakeEndedCallback(&PreRecorderWindow::OnTakeEnded, this);
  if (!trace_) trace_.reset(new (std::nothrow) WaveTrace(kRecorderTrace.width, kRecorderTrace.height, WaveTrace::kLine, false));
  if (!trace_ || !trace_->Valid()) return false;
  ResetTrace();
  picture_->SetImage(trace_->GetSurface());
  NewOutputName();
  return true;
}

bool PreRecorderWindow::LoadBitmaps() {
  background_.reset(new (std::nothrow) Surface(Instance(), IDB_PRERECORDER_BACKGROUND));
  ledLit_.reset(new (std::nothrow) Surface(Instance(), IDB_RECORD_LED_LIT));
  ledUnlit_.reset(new (std::nothrow) Surface(Instance(), IDB_RECORD_LED_UNLIT));
  if (!background_ || !background_->Valid() || !ledLit_ || !ledLit_->Valid() || !ledUnlit_ || !ledUnlit_->Valid())
    return false;
  SetBackground(background_.get());
  return true;
}

void PreRecorderWindow::FreeBitmaps() {
  SetBackground(nullptr);
  background_.reset();
  ledLit_.reset();
  ledUnlit_.reset();
}

// The trace picture, the start and stop keys, the LED and the output display, in this order.
int PreRecorderWindow::CreateControls() {
  HINSTANCE instance = Instance();
  char startTip[kTextSize], stopTip[kTextSize], browseTip[kTextSize];
  LoadText(instance, IDS_START_RECORDING, startTip, sizeof startTip);
  LoadText(instance, IDS_STOP_RECORDING, stopTip, sizeof stopTip);
  LoadText(instance, IDS_BROWSE_OUTPUT_FILE, browseTip, sizeof browseTip);

  Picture* picture = new (std::nothrow) Picture(Handle());
  int geometry = picture ? picture->SetBounds(kRecorderTrace.left, kRecorderTrace.top, kRecorderTrace.width, kRecorderTrace.height) : 0;
  if (int code = ChannelStrip::Add(*this, std::unique_ptr<Control>(picture), geometry, IDC_REC_TRACE, nullptr))
    return code;
  picture_ = picture;

  PushButton* start = new (std::nothrow) PushButton(Handle());
  geometry = start ? start->LoadFrames(kRecorderStart.left, kRecorderStart.top, instance, IDB_RECORD_START) : 0;
  if (start) start->SetCommand(kControlCommand);
  if (int code = ChannelStrip::Add(*this, std::unique_ptr<Control>(start), geometry, IDC_REC_START, startTip))
    return code;
  start_ = start;

  PushButton* stop = new (std::nothrow) PushButton(Handle());
  geometry = stop ? stop->LoadFrames(kRecorderStop.left, kRecorderStop.top, instance, IDB_RECORD_STOP) : 0;
  if (stop) {
    stop->SetCommand(kControlCommand);
    stop->SetEnabled(false);
  }
  if (int code = ChannelStrip::Add(*this, std::unique_ptr<Control>(stop), geometry, IDC_REC_STOP, stopTip))
    return code;
  stop_ = stop;

  ImageSwitch* led = new (std::nothrow) ImageSwitch(Handle());
  geometry = led ? led->BindSurface(kRecorderLed.left, kRecorderLed.top, ledLit_.get(), ledUnlit_.get()) : 0;
  if (int code = ChannelStrip::Add(*this, std::unique_ptr<Control>(led), geometry, IDC_REC_LED, nullptr))
    return code;
  led_ = led;

  TextDisplay* output = new (std::nothrow) TextDisplay(Handle());
  geometry = output ? output->SetBounds(kRecorderOutput.left, kRecorderOutput.top, kRecorderOutput.width, kRecorderOutput.height) : 0;
  if (output) {
    output->SetBorder(true);
    output->SetFormat(DT_CENTER, DT_VCENTER);
    output->SetCommand(kControlCommand);
    output->SetText(kNoOutput);
  }
  if (int code = ChannelStrip::Add(*this, std::unique_ptr<Control>(output), geometry, IDC_REC_OUTPUT, browseTip))
    return code;
  output_ = output;
  return 0;
}

bool PreRecorderWindow::CanClose() { return closeAllowed_; }

// WM_DESTROY: a take still running is finished on disk; then the device and the trace go.
int PreRecorderWindow::OnDestroy() {
  if (recorder_.Recording()) recorder_.Stop();
  picture_ = nullptr;
  start_ = stop_ = nullptr;
  led_ = nullptr;
  output_ = nullptr;
  UserInterface::OnDestroy();
  // The main window's thread runs the message loop: no WM_QUIT for it.
  return 1;
}

bool PreRecorderWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) != kControlCommand) return false;
  Control* control = reinterpret_cast<Control*>(lParam);
  if (!control || (control != start_ && control != stop_ && control != output_)) return false;
  switch (control->UserValue()) {
    case IDC_REC_START:
      StartRecording();
      return true;
    case IDC_REC_STOP:
      StopRecording();
      return true;
    case IDC_REC_OUTPUT:
      BrowseOutputFile();
      return true;
    default:
      return false;
  }
}

void PreRecorderWindow::ShowOutputName() {
  if (!output_) return;
  output_->SetText(recorder_.OutputName());
  output_->Invalidate();
}

void PreRecorderWindow::NewOutputName() {
  if (recorder_.Recording()) return;  // the running take keeps its file
  recorder_.NewOutputName();
  ShowOutputName();
}

// The window may be torn down inside the dialog: this object outlives it (the main
// window keeps it), and the display is gone then.
void PreRecorderWindow::BrowseOutputFile() {
  if (recorder_.Recording() || !saveDialog_.ShowFileDialog()) return;
  if (!recorder_.ChooseOutputPath(saveDialog_.FileName())) {
    char name[MAX_PATH];
    snprintf(message_, sizeof message_, "%s\nThe path of this file has %d characters; the system opens paths of up to %d.",
             FileNameOfPath(saveDialog_.FileName(), name, sizeof name), lstrlenA(saveDialog_.FileName()), MAX_PATH - 1);
    SetErrorText(message_);
    ReportError(Error::PathTooLong);
    SetErrorText(nullptr);
    return;
  }
  ShowOutputName();
}

int PreRecorderWindow::RefuseLoadedOutput() {
  if (!mainWindow_) return 0;
  const LRESULT track = SendMessageA(mainWindow_, kMsgTrackOfPath, 0, reinterpret_cast<LPARAM>(recorder_.OutputPath()));
  if (track < 1 || track > 4) return 0;
  snprintf(message_, sizeof message_,
           "Track %d has %s loaded: a take would replace it. Choose another output file.", static_cast<int>(track),
           recorder_.OutputPath());
  SetErrorText(message_);
  ReportError(Error::TakeRefused);
  SetErrorText(nullptr);
  return Error::TakeRefused;
}

int PreRecorderWindow::StartRecording() {
  if (recorder_.Recording()) return 0;
  const uint32_t block = setup_ ? (uint32_t)setup_->words[kSetupBlockSize] : 0;
  const uint32_t fileBuffer = setup_ ? (uint32_t)setup_->words[kSetupFileBuffer] : 0;
  bool renamed = false;
  if (int code = RefuseLoadedOutput()) return code;
  ResetTrace();
  int code = recorder_.Start(block, fileBuffer, &renamed);
  if (renamed) ShowOutputName();
  if (code != 0) return code;
  lstrcpynA(takePath_, recorder_.OutputPath(), sizeof takePath_);
  takeChannels_ = recorder_.Channels();
  ShowRecordingState(true);
  return 0;
}

int PreRecorderWindow::StopRecording() {
  if (!recorder_.Recording()) return 0;
  if (int code = recorder_.Stop()) return code;
  ResetTrace();
  ShowRecordingState(false);
  ReportTakeEnd();
  // The main window loads the take (a progress dialog, perhaps error boxes) before this returns.
  if (mainWindow_) SendMessageA(mainWindow_, kMsgTakeFinished, 0, 0);
  if (Handle()) ShowWindow(Handle(), SW_HIDE);
  return 0;
}

void PreRecorderWindow::ReportTakeEnd() {
  WaveInput* device = recorder_.Recorder();
  if (!device || device->TakeEndReason() == WaveInput::kRunning) return;
  const unsigned long long bytes = device->BytesRecorded();
  const uint32_t rate = device->Format().nAvgBytesPerSec ? device->Format().nAvgBytesPerSec : 1;
  const double seconds = static_cast<double>(bytes) / rate;
  switch (device->TakeEndReason()) {
    case WaveInput::kSizeLimit:
      snprintf(message_, sizeof message_,
               "The take %s ended at the largest size a wave file can hold (%llu bytes of audio). It keeps "
               "everything recorded up to there.",
               device->TakePath(), bytes);
      break;
    case WaveInput::kDeviceSilent: {
      char name[sizeof(WaveDeviceCaps::name) + 32];
      device->DescribeDevice(name, sizeof name);
      snprintf(message_, sizeof message_,
               "%s gave no sound for %.1f s and may have been disconnected. The take %s ended by itself after "
               "%.1f s (%llu bytes of audio) and keeps everything recorded up to there.",
               name, device->SilenceLimitMs() / 1000.0, device->TakePath(), seconds, bytes);
      break;
    }
    case WaveInput::kOverrun:
      snprintf(message_, sizeof message_,
               "The take %s was cut after %.1f s (%llu bytes of audio): the disk did not keep up for more than "
               "%.1f s. The file keeps everything recorded before.",
               device->TakePath(), seconds, bytes, WaveInput::kRingMs / 1000.0);
      break;
    default:
      snprintf(message_, sizeof message_,
               "The take %s was cut after %llu bytes of audio: %s The file keeps what was written before.",
               device->TakePath(), bytes, device->TakeFailure());
      break;
  }
  SetErrorText(message_);
  ReportError(Error::TakeEnded);
  SetErrorText(nullptr);
}

// Only a take that ended by itself is stopped here: the message may come after the
// take was stopped already (a write failed on the way to the stop), even after a new
// take has started.
LRESULT PreRecorderWindow::OnUserMessage(UINT message, LPARAM lParam, WPARAM wParam) {
  if (message != kMsgTakeEnded) return 0;
  WaveInput* device = recorder_.Recorder();
  if (recorder_.Recording() && device && device->TakeEndReason() != WaveInput::kRunning) StopRecording();
  return 1;
}

void PreRecorderWindow::OnTakeEnded(void* context) {
  PreRecorderWindow* window = static_cast<PreRecorderWindow*>(context);
  if (HWND hwnd = window ? window->Handle() : nullptr) PostMessageA(hwnd, kMsgTakeEnded, 0, 0);
}

void PreRecorderWindow::PrepareTearDown() {
  if (recorder_.Recording() && recorder_.Stop() == 0) ShowRecordingState(false);
  closeAllowed_ = true;
}

bool PreRecorderWindow::RecordingShown() const { return led_ && led_->On(); }

void PreRecorderWindow::ShowRecordingState(bool recording) {
  if (!start_) return;
  start_->SetEnabled(!recording);
  stop_->SetEnabled(recording);
  output_->SetEnabled(!recording);
  led_->SetOn(recording);
  // A key that was pressed stays pressed in look only until it is drawn again.
  start_->SetState(kStateNormal);
  stop_->SetState(kStateNormal);
  ForgetPressedControl();
  start_->Invalidate();
  stop_->Invalidate();
  output_->Invalidate();
  led_->Invalidate();
}

void PreRecorderWindow::OnControlContextMenu(Control* control, int screenX, int screenY) {
  if (control || RecordingShown() || recorder_.Recording()) return;
  Configure();
}

void PreRecorderWindow::Configure() {
  if (recorder_.Recording() || !recorder_.Recorder()) return;
  PreRecorderConfigDialog dialog(recorder_.Recorder());
  dialog.SetInstance(Instance());
  dialog.SetParent(Handle());
  if (dialog.RunModal() != IDOK || !dialog.Changed()) return;
  if (!recorder_.ApplyConfiguration(dialog.DeviceIndex(), dialog.Stereo())) return;
  ResetTrace();
}
