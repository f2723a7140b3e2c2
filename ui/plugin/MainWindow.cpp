#include "ui/plugin/MainWindow.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/ErrorCodes.h"
#include "resources/resource_ids.h"
#include "resources/window_layout.h"
#include "ui/framework/FileDialog.h"
#include "ui/framework/PushButton.h"
#include "ui/framework/Surface.h"
#include "ui/framework/ToggleButton.h"
#include "ui/plugin/ImageWorker.h"
#include "ui/plugin/PreRecorderWindow.h"
#include "ui/plugin/WavePropertiesDialog.h"
#include "util/PathText.h"
#include "util/Registry.h"
#include "wavedata/WaveFile.h"

namespace {
const char* const kSettingsSection = "Orvan Sondrel";
const char* const kPositionKey = "MainWndPos";
const char kOpenFilter[] = "PCM Wave Audio\0*.wav\0";

// The skin's control images, in the order they are loaded.
constexpr int kSkinIds[] = {IDB_OPEN, IDB_CLOSE, IDB_PLAY_STOP, IDB_PAUSE, IDB_SYNC,
                            IDB_LOOP, IDB_LED_LIT, IDB_LED_UNLIT, IDB_INFO};
}  // namespace

// The channels and their strip pictures live as long as the plug-in, not the
// window: the host may play files before it asks for a window, and between two.
MainWindow::MainWindow() : engine_(this), openDialog_(nullptr) {
  InitializeCriticalSection(&displayGuard_);
  dropReason_[0] = '\0';
  memset(shownLoad_, 0, sizeof shownLoad_);
  for (std::unique_ptr<Surface>& image : images_) {
    image.reset(new (std::nothrow) Surface(kStripImageWidth, kStripImageHeight));
    if (image) image->FillSurface(kEmptyStripColour);
  }
}

MainWindow::~MainWindow() {
  // A window left open on this thread must go while this object can still answer it.
  if (Handle() && OnWindowThread()) DestroyWindow(Handle());
  preRecorder_.reset();
  // The streaming thread may still report positions until the view is gone.
  engine_.SetView(nullptr);
  UnregisterWindowClass();
  DeleteCriticalSection(&displayGuard_);
}

// After construction: false when a lock or a picture could not be made.
bool MainWindow::Valid() const {
  if (!engine_.Valid()) return false;
  for (const std::unique_ptr<Surface>& image : images_)
    if (!image || !image->Valid()) return false;
  return true;
}

// createUserInterface, on the host's thread that will run the window.
int MainWindow::CreateUserInterface(HINSTANCE instance, HICON icon, HCURSOR cursor, int showCommand) {
  tearDown_ = false;
  // A second window for the same channels would fight the first one over them.
  if (Handle()) {
    ShowWindow(Handle(), showCommand);
    return lastError_ = 0;
  }
  WindowDescription description;
  description.icon = icon;
  description.cursor = cursor;
  description.SetClassName("Sondrel");
  description.SetTitle("Orvan Sondrel");
  description.width = 320;  // replaced by the skin's size
  description.height = 200;
  description.centre = 1;
  description.taskbar = 1;
  return Create(true, description, instance, showCommand);
}

// destroyUserInterface: the tear-down flag lets CanClose agree.
int MainWindow::DestroyUserInterface() {
  tearDown_ = true;
  if (Handle()) SendMessageA(Handle(), WM_CLOSE, 0, 0);
  // The class cannot go while a window of it still exists; a failed unregistration
  // is retried by the next window and at detach.
  if (Handle() || !ClassRegistered()) return 0;
  return UnregisterWindowClass() ? 1 : 0;
}

// The host shows the plug-in it switches to and hides the others; the window keeps running.
void MainWindow::Switch(bool on) {
  if (Handle()) ShowWindow(Handle(), on ? SW_SHOW : SW_HIDE);
}

// The outline and size come from the mask bitmap, so the skin alone decides the shape.
int MainWindow::Create(bool registerClass, const WindowDescription& description, HINSTANCE instance,
                       int showCommand) {
  WindowDescription shaped = description;
  // An outline given with the description is replaced by the mask's: it goes either way.
  ScopedRegion replaced(description.region);
  {
    Surface mask(instance, IDB_MAIN_MASK);
    HRGN region = mask.Valid() ? mask.MakeColourKeyRegion() : nullptr;
    if (!region) return Fail(Error::WindowCreate);
    shaped.region = region;
    shaped.width = mask.Width();
    shaped.height = mask.Height();
  }
  return UserInterface::Create(registerClass, shaped, instance, showCommand);
}

// WM_CREATE: skin, controls (base), the open dialog, then the strips show the channels.
bool MainWindow::OnCreate() {
  windowThread_ = GetCurrentThreadId();
  if (!UserInterface::OnCreate()) return false;
  openDialog_.SetParent(Handle());
  openDialog_.SetInstance(Instance());
  openDialog_.SetOpen(true);
  openDialog_.SetFilter(kOpenFilter);
  // From here on the channel side shows every change; the strips show the channels now.
  engine_.SetView(this);
  // The pre-recorder comes with the window, hidden. Its object lives as long as this
  // one, so a tear-down inside one of its loops never pulls it from under its frames.
  if (!preRecorder_) preRecorder_.reset(new (std::nothrow) PreRecorderWindow());
  if (!preRecorder_) {
    Fail(Error::OutOfMemory);
    return false;
  }
  return preRecorder_->CreateHidden(Instance(), Description(), Handle(), &engine_.Setup()) == 0;
}

// Inside OnCreate: the background and the nine control images, in this order.
bool MainWindow::LoadBitmaps() {
  backgroundImage_.reset(new (std::nothrow) Surface(Instance(), IDB_MAIN_BACKGROUND));
  if (!backgroundImage_ || !backgroundImage_->Valid()) return false;
  SetBackground(backgroundImage_.get());
  for (int i = 0; i < kSkinImageCount; ++i) {
    skin_[i].reset(new (std::nothrow) Surface(Instance(), kSkinIds[i]));
    if (!skin_[i] || !skin_[i]->Valid()) return false;
  }
  return true;
}

// The skin goes with the window (a failed creation too, which also gets
// WM_DESTROY); the controls that drew with it are gone by now.
void MainWindow::FreeBitmaps() {
  for (std::unique_ptr<Surface>& image : skin_) image.reset();
  SetBackground(nullptr);
  backgroundImage_.reset();
}

// Inside OnCreate: the pre-recorder toggle, then the four strips. 0, 19 or 28.
int MainWindow::CreateControls() {
  char tip[kTextSize];
  LoadText(Instance(), IDS_TOGGLE_PRERECORDER, tip, sizeof tip);
  std::unique_ptr<PushButton> toggle(new (std::nothrow) PushButton(Handle()));
  if (toggle) toggle->SetCommand(kControlCommand);
  int frames = toggle ? toggle->LoadFrames(kPreRecorderToggle.left, kPreRecorderToggle.top, Instance(),
                                           IDB_PRERECORDER_TOGGLE)
                      : 0;
  PushButton* added = toggle.get();
  int code = ChannelStrip::Add(*this, std::move(toggle), frames, kIdPreRecorderToggle, tip);
  if (code != 0) return code;
  preRecorderToggle_ = added;

  StripImages images = {skin_[kOpen].get(), skin_[kClose].get(),  skin_[kPlayStop].get(),
                        skin_[kPause].get(), skin_[kSync].get(), skin_[kLoop].get(),
                        skin_[kLedLit].get(), skin_[kLedUnlit].get(), skin_[kInfo].get()};
  for (int c = 0; c < kNumChannels; ++c) {
    if (int code = strips_[c].Create(*this, c, images, images_[c].get(), &engine_.Position(c))) return code;
  }
  return 0;
}

// Before the window is first shown: where it was last time.
void MainWindow::BeforeShow() {
  if (!settings_) return;
  settings_->SelectSection(kSettingsSection, true);
  RestoreWindowPosition(settings_, kPositionKey);
}

// WM_CLOSE: the user's request goes to the host; the host's own ends the window.
bool MainWindow::CanClose() {
  if (!tearDown_) {
    // The host decides whether its plug-in's window goes away.
    engine_.SendInternal(kCommandCloseWindow);
    return false;
  }
  CancelOwnedDialogs();
  // A take still recording is finished on disk (not loaded); then the pre-recorder may close.
  if (preRecorder_) {
    preRecorder_->PrepareTearDown();
    if (preRecorder_->Handle()) SendMessageA(preRecorder_->Handle(), WM_CLOSE, 0, 0);
  }
  if (settings_ && settings_->SelectSection(kSettingsSection, true) == 0) {
    SaveWindowPosition(settings_, kPositionKey);
    settings_->SaveSection();
  }
  return true;
}

// The window goes, the object stays: the channels keep playing for the host, and a
// later createUserInterface makes the window again.
int MainWindow::OnDestroy() {
  // No display call of another thread may reach the controls freed below.
  engine_.SetView(nullptr);
  for (ChannelStrip& strip : strips_) strip.Forget();
  preRecorderToggle_ = nullptr;
  // Its window goes with this one (the tear-down closed it); the object stays.
  if (preRecorder_ && preRecorder_->Handle()) {
    preRecorder_->PrepareTearDown();
    DestroyWindow(preRecorder_->Handle());
  }
  UserInterface::OnDestroy();
  InterlockedExchange(&pendingLoad_, 0);
  InterlockedExchange(&pendingState_, 0);
  windowThread_ = 0;
  // The host's thread runs the message loop: no WM_QUIT for it.
  return 1;
}

// OnCommand: lParam is trusted only when it is one of this window's controls.
Control* MainWindow::CommandSource(LPARAM lParam) const {
  for (int i = 0; i < ControlCount(); ++i)
    if (reinterpret_cast<LPARAM>(GetControl(i)) == lParam) return GetControl(i);
  return nullptr;
}

// A button or switch was clicked (command code 0x200, the control as lParam).
bool MainWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) != kControlCommand) return false;
  Control* control = CommandSource(lParam);
  if (!control) return false;
  const int id = control->UserValue();
  if (id == kIdPreRecorderToggle) {
    TogglePreRecorder();
    return true;
  }
  const int c = ChannelStrip::ChannelOfId(id);
  if (c < 0) return false;
  switch (id - c) {
    case kIdOpen:
      OpenFile(c);
      return true;
    case kIdClose:
      engine_.CloseFile(c);
      return true;
    case kIdPlayStop:
      engine_.PlayStop(c);
      return true;
    // A command ignored because a lock was busy leaves the switch as the channel is
    // (see OnLButtonUp).
    case kIdPause:
      engine_.Pause(c);
      return true;
    case kIdSync:
      engine_.SetSync(c, strips_[c].Sync() && strips_[c].Sync()->On());
      return true;
    case kIdLoop:
      engine_.SetLoop(c, strips_[c].Loop() && strips_[c].Loop()->On());
      return true;
    case kIdProperties:
      ShowProperties(c);
      return true;
    default:
      return false;
  }
}

// The open button of channel c: the shared open dialog, then the load.
void MainWindow::OpenFile(int c) {
  char title[128];
  snprintf(title, sizeof title, "Open Wave Ch%i...", c + 1);
  openDialog_.SetTitle(title);
  if (!openDialog_.ShowFileDialog()) return;
  // Copied whole (a name too long to open is refused by the load, naming it): the
  // shared dialog may be used again while the load shows a box.
  char path[kFileDialogNameSize];
  lstrcpynA(path, openDialog_.FileName(), sizeof path);
  int32_t partner = -1;
  engine_.LoadChannel(c, path, &partner);
}

void MainWindow::TogglePreRecorder() {
  HWND recorder = preRecorder_ ? preRecorder_->Handle() : nullptr;
  if (!recorder) return;
  if (IsWindowVisible(recorder)) {
    ShowWindow(recorder, SW_HIDE);
    return;
  }
  preRecorder_->NewOutputName();
  preRecorder_->CenterOverWindow(Handle());
  ShowWindow(recorder, SW_SHOW);
}

LRESULT MainWindow::OnUserMessage(UINT message, LPARAM lParam, WPARAM wParam) {
  if (message == kMsgTrackOfPath) return TrackOfFile(reinterpret_cast<const char*>(lParam));
  if (message != kMsgTakeFinished || !preRecorder_) return 0;
  LoadTake(preRecorder_->TakePath(), preRecorder_->TakeChannels() == 2);
  return 1;
}

namespace {
// A dialog box of this thread owned by the window in owner: asked to cancel.
BOOL CALLBACK CancelIfOwnedBy(HWND hwnd, LPARAM owner) {
  char cls[16];
  if (GetWindow(hwnd, GW_OWNER) == reinterpret_cast<HWND>(owner) && GetClassNameA(hwnd, cls, sizeof cls) &&
      lstrcmpA(cls, "#32770") == 0)
    SendMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}
}  // namespace

// CanClose while the host ends the window.
void MainWindow::CancelOwnedDialogs() {
  EnumThreadWindows(GetCurrentThreadId(), CancelIfOwnedBy, reinterpret_cast<LPARAM>(Handle()));
  if (preRecorder_ && preRecorder_->Handle())
    EnumThreadWindows(GetCurrentThreadId(), CancelIfOwnedBy, reinterpret_cast<LPARAM>(preRecorder_->Handle()));
  // A dialog's modal loop notices its end only at its next message: wake it, so that
  // it does not wait for one after this window (its owner) is gone.
  PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
}

// The properties button of channel c: the file's format, modally.
void MainWindow::ShowProperties(int c) {
  WavePropertiesDialog dialog;
  auto fill = [](const WaveFile& file, void* context) { static_cast<WavePropertiesDialog*>(context)->Fill(file); };
  if (!engine_.ReadFile(c, fill, &dialog)) return;
  dialog.SetInstance(Instance());
  dialog.SetParent(Handle());
  dialog.RunModal();
}

// WM_LBUTTONDBLCLK: the class asks for double clicks; here a second click is a click.
void MainWindow::OnLButtonDblClk(LPARAM point, WPARAM keys) { OnLButtonDown(point, keys); }

// WM_LBUTTONUP: the click goes to the control, then the switches show the channels.
void MainWindow::OnLButtonUp(LPARAM point, WPARAM keys) {
  UserInterface::OnLButtonUp(point, keys);
  for (int c = 0; c < kNumChannels; ++c) ShowSwitches(c);
}
