#include "ui/plugin/MainWindow.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/ErrorCodes.h"
#include "core/List.h"
#include "engine/FirstFreeTrack.h"
#include "resources/resource_ids.h"
#include "ui/framework/FileDialog.h"
#include "ui/plugin/PositionView.h"
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
  {
    Surface mask(instance, IDB_MAIN_MASK);
    HRGN region = mask.Valid() ? mask.MakeColourKeyRegion() : nullptr;
    if (!region) return Fail(Error::WindowCreate);
    if (shaped.region && shaped.region != region) DeleteObject(shaped.region);
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
  // The pre-recorder comes with the window, hidden.
  preRecorder_ = new (std::nothrow) PreRecorderWindow();
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
  PushButton* toggle = new (std::nothrow) PushButton(Handle());
  if (toggle) toggle->SetCommand(kControlCommand);
  int frames = toggle ? toggle->LoadFrames(428, 135, Instance(), IDB_PRERECORDER_TOGGLE) : 0;
  int code = ChannelStrip::Add(*this, toggle, frames, kIdPreRecorderToggle, tip);
  if (code != 0) return code;
  preRecorderToggle_ = toggle;

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
  delete preRecorder_;
  preRecorder_ = nullptr;
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
  char path[MAX_PATH];
  lstrcpynA(path, openDialog_.FileName(), sizeof path);
  int32_t partner = -1;
  engine_.LoadChannel(c, path, &partner);
}

// WM_DROPFILES at client (x, y).
bool MainWindow::OnDropFiles(int x, int y, List* names) {
  const int count = names ? names->Count() : 0;
  if (count == 0) return true;
  const int c = ChannelStrip::ChannelAt(x, y);
  if (c < 0) return RefuseDrop("Drop wave files on a channel strip to load them.");
  const ChannelSnapshot target = engine_.Peek(c);
  if (target.loaded && !target.owner) {
    snprintf(dropReason_, sizeof dropReason_,
             "Channel %i plays the right half of the stereo file of channel %i: drop on channel %i instead.", c + 1,
             c, c);
    return RefuseDrop(dropReason_);
  }
  int next = c;
  for (int i = 0; i < count; ++i) {
    const char* path = static_cast<const char*>(names->GetAt(i));
    // The first file goes where it was dropped; LoadChannel says when it cannot.
    const int k = i == 0 ? c : FreeChannelFor(path, next);
    if (k < 0) {
      char name[MAX_PATH];
      FileNameOfPath(path, name, sizeof name);
      snprintf(dropReason_, sizeof dropReason_, "No free channel after channel %i for %s: %i dropped file(s) not loaded.",
               next, name, count - i);
      return RefuseDrop(dropReason_);
    }
    int32_t partner = -1;
    if (engine_.LoadChannel(k, path, &partner) == 0) next = (partner >= 0 ? partner : k) + 1;
  }
  return true;
}

int MainWindow::FreeChannelFor(const char* path, int from) {
  // A file that does not parse goes to the first free channel, where its load says why.
  WaveFile probe;
  probe.SetQuiet(true);
  const bool stereo = probe.Open(path, MultimediaFile::kModeRead) == 0 && probe.ReadHeader() == 0 &&
                      probe.Header().channels == 2;
  probe.Close();
  return FreeTrack(stereo, from);
}

int MainWindow::FreeTrack(bool stereo, int from) const {
  bool loaded[kNumChannels];
  for (int k = 0; k < kNumChannels; ++k) loaded[k] = engine_.Peek(k).loaded;
  return FirstFreeTrack(loaded, kNumChannels, stereo, from);
}

bool MainWindow::RefuseDrop(const char* reason) {
  if (reason != dropReason_) lstrcpynA(dropReason_, reason, sizeof dropReason_);
  SetErrorText(dropReason_);
  ReportError(Error::DropRefused);
  SetErrorText(nullptr);
  return true;
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
  if (message != kMsgTakeFinished || !preRecorder_) return 0;
  LoadTake(preRecorder_->TakePath(), preRecorder_->TakeChannels() == 2);
  return 1;
}

int MainWindow::LoadTake(const char* path, bool stereo) {
  const int c = FreeTrack(stereo, 0);
  // The take stays on disk either way.
  if (c < 0) return Fail(Error::NoFreeChannel);
  int32_t partner = -1;
  return engine_.LoadChannel(c, path, &partner);
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

// After every button release (OnLButtonUp).
void MainWindow::ShowSwitches(int c) {
  ChannelStrip& strip = strips_[c];
  if (!strip.Created()) return;
  const ChannelSnapshot channel = engine_.Peek(c);
  ToggleButton* switches[] = {strip.Loop(), strip.Sync(), strip.Pause()};
  const bool on[] = {channel.loop, channel.sync, channel.state == kPaused};
  for (int i = 0; i < 3; ++i) {
    if (switches[i]->On() == on[i]) continue;
    switches[i]->SetOn(on[i]);
    switches[i]->Invalidate();
  }
}

// WM_LBUTTONDBLCLK: the class asks for double clicks; here a second click is a click.
void MainWindow::OnLButtonDblClk(LPARAM point, WPARAM keys) { OnLButtonDown(point, keys); }

// WM_LBUTTONUP: the click goes to the control, then the switches show the channels.
void MainWindow::OnLButtonUp(LPARAM point, WPARAM keys) {
  UserInterface::OnLButtonUp(point, keys);
  for (int c = 0; c < kNumChannels; ++c) ShowSwitches(c);
}

// Display calls: whether they may touch the controls now.
bool MainWindow::OnWindowThread() const { return windowThread_ != 0 && GetCurrentThreadId() == windowThread_; }

// RefreshStrip: what the strip is to show, read under the channel's lock.
bool MainWindow::ReadLoadState(int c, StripLoadState* state) {
  // The channel side calls with the lock held (it is taken again at once) or, when a
  // window attaches, without: then it is awaited, as briefly as any channel command.
  ChannelSnapshot channel;
  if (!engine_.Snapshot(c, &channel, state->fileName, sizeof state->fileName)) return false;
  state->loaded = channel.loaded;
  state->owner = channel.owner;
  state->loop = channel.loop;
  state->sync = channel.sync;
  return true;
}

// After a load, a close, and when the window attaches; on any thread.
void MainWindow::RefreshStrip(int c) {
  if (c < 0 || c >= kNumChannels) return;
  StripLoadState state;
  bool read = ReadLoadState(c, &state);
  EnterCriticalSection(&displayGuard_);
  // A busy lock keeps the name shown so far; the flags are plain values.
  if (!read) {
    state = shownLoad_[c];
    const ChannelSnapshot channel = engine_.Peek(c);
    state.loaded = channel.loaded;
    state.owner = channel.owner;
  }
  shownLoad_[c] = state;
  LeaveCriticalSection(&displayGuard_);
  InterlockedOr(&pendingLoad_, 1 << c);
  DisplayChanged();
}

// Whenever channel c's state value changed; on any thread, also the streaming one.
void MainWindow::ShowChannelState(int c) {
  if (c < 0 || c >= kNumChannels) return;
  InterlockedOr(&pendingState_, 1 << c);
  DisplayChanged();
}

// After a display change was recorded.
void MainWindow::DisplayChanged() {
  if (OnWindowThread()) {
    ApplyPendingDisplay();
    InvalidateRect(Handle(), nullptr, FALSE);
    return;
  }
  // Another thread: only the invalidation; the window's thread shows the change when it paints.
  if (HWND hwnd = Handle()) InvalidateRect(hwnd, nullptr, FALSE);
}

// On the window's thread: at once for its own changes, at the next paint for others'.
void MainWindow::ApplyPendingDisplay() {
  LONG load = InterlockedExchange(&pendingLoad_, 0);
  LONG state = InterlockedExchange(&pendingState_, 0);
  for (int c = 0; c < kNumChannels; ++c) {
    if (load & (1 << c)) {
      StripLoadState shown;
      EnterCriticalSection(&displayGuard_);
      shown = shownLoad_[c];
      LeaveCriticalSection(&displayGuard_);
      strips_[c].ShowLoadState(shown);
      // Showing the load state disables pause; the play state decides it again.
      state |= 1 << c;
    }
    if (state & (1 << c)) strips_[c].ShowPlayState(engine_.Peek(c).state);
  }
}

// WM_PAINT: what other threads changed is shown first.
void MainWindow::OnPaint(HDC dc, const PAINTSTRUCT& paint) {
  ApplyPendingDisplay();
  UserInterface::OnPaint(dc, paint);
}

// The streaming thread moved channel c's marker to another column.
void MainWindow::InvalidatePosition(int c) {
  if (c < 0 || c >= kNumChannels) return;
  if (PositionView* view = strips_[c].View()) view->Invalidate();
}

// The host refused a start while the play switch was pressed (a message box took the release).
void MainWindow::ForgetPressedControl() {
  if (OnWindowThread()) UserInterface::ForgetPressedControl();
}

// During a load, once the host accepted the channel: the picture, behind the progress dialog.
void MainWindow::BuildPicture(int c, WaveFile* file, bool stereo) {
  if (c < 0 || c >= kNumChannels || !file) return;
  Surface* second = stereo && c + 1 < kNumChannels ? images_[c + 1].get() : nullptr;
  BuildStripPictures(Instance(), Handle(), file, stereo, images_[c].get(), second);
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}
