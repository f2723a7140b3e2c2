#include "ui/framework/UserInterface.h"

#include <new>

#include "core/ErrorCodes.h"
#include "ui/framework/Control.h"
#include "ui/framework/GdiHandles.h"
#include "ui/framework/Surface.h"

namespace {
constexpr UINT kClassStyle = CS_OWNDC | CS_DBLCLKS;
constexpr DWORD kWindowStyle = WS_POPUP | WS_SYSMENU;
constexpr DWORD kOwnThreadEndWaitMs = 5000;
}  // namespace

UserInterface::UserInterface() : closed_(false, false) { classId_ = kUserInterface; }

UserInterface::~UserInterface() {
  // A window still open on this thread would keep calling a deleted object.
  if (hwnd_ && GetWindowThreadProcessId(hwnd_, nullptr) == GetCurrentThreadId()) DestroyWindow(hwnd_);
  if (thread_) {
    // A window left open on its own thread: end that thread's loop, which takes the window along.
    if (hwnd_ && IsWindow(hwnd_)) PostThreadMessageA(thread_->ThreadId(), WM_QUIT, 0, 0);
    thread_->Wait(kOwnThreadEndWaitMs);
  }
}

int UserInterface::RegisterWindowClass() {
  // A class of an earlier window of this object whose unregistration failed (another
  // window of the class stood then) is retried first. Still standing, it is used again
  // when it is this class; a second class would leave the first one untracked.
  if (classRegistered_ && !UnregisterWindowClass())
    return lastError_ = lstrcmpA(registeredClass_, description_.className) == 0 ? 0 : Error::WindowCreate;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = kClassStyle;
  wc.lpfnWndProc = WindowProcedure;
  wc.hInstance = instance_;
  wc.hIcon = description_.icon;
  wc.hCursor = description_.cursor;
  wc.hIconSm = description_.smallIcon;
  wc.lpszClassName = description_.className;
  if (!RegisterClassExA(&wc)) return lastError_ = Error::WindowCreate;
  classRegistered_ = true;
  lstrcpynA(registeredClass_, description_.className, sizeof registeredClass_);
  registeredInstance_ = instance_;
  return lastError_ = 0;
}

bool UserInterface::UnregisterWindowClass() {
  if (!classRegistered_) return true;
  // Fails while any window of the class exists; the class then stays ours to retry.
  if (!UnregisterClassA(registeredClass_, registeredInstance_)) return false;
  classRegistered_ = false;
  return true;
}

bool UserInterface::CreateWindowHandle() {
  DWORD exStyle = WS_EX_ACCEPTFILES | (description_.taskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW);
  HWND hwnd = CreateWindowExA(exStyle, description_.className, description_.title, kWindowStyle, description_.x,
                              description_.y, description_.width, description_.height, parent_, nullptr,
                              instance_, this);
  // WM_CREATE stored the handle already; a failed creation has cleared it again.
  hwnd_ = hwnd;
  return hwnd != nullptr;
}

void UserInterface::PlaceAndShape() {
  if (description_.centre) CenterOnScreen(hwnd_);
  // From here on the region belongs to the window; one the window refused stays ours.
  if (region_ && SetWindowRgn(hwnd_, region_.Get(), FALSE)) region_.Release();
}

// A window that was never made still owns the outline it was given.
void UserInterface::DiscardRegion() {
  region_.Reset();
}

void UserInterface::ShowFirstTime() {
  BeforeShow();
  ShowWindow(hwnd_, showCommand_);
  UpdateWindow(hwnd_);
}

// Both ways of creating start from the caller's description.
void UserInterface::TakeDescription(const WindowDescription& description, HINSTANCE instance, int showCommand) {
  description_ = description;
  region_.Reset(description_.region);
  description_.region = nullptr;
  instance_ = instance;
  showCommand_ = showCommand;
}

// Registers the class (when asked), creates the window, then places and shapes
// it. False when a step failed; a class registered here is unregistered again.
bool UserInterface::MakeWindow(bool registerClass) {
  if (registerClass && RegisterWindowClass() != 0) return false;
  if (!CreateWindowHandle()) {
    UnregisterWindowClass();
    return false;
  }
  PlaceAndShape();
  return true;
}

int UserInterface::Create(bool registerClass, const WindowDescription& description, HINSTANCE instance,
                          int showCommand) {
  TakeDescription(description, instance, showCommand);
  if (!MakeWindow(registerClass)) {
    DiscardRegion();
    return Fail(Error::WindowCreate);
  }
  ShowFirstTime();
  return lastError_ = 0;
}

int UserInterface::CreateOnOwnThread(const WindowDescription& description, HINSTANCE instance, int showCommand) {
  TakeDescription(description, instance, showCommand);
  created_.reset(new (std::nothrow) EventObject(false, false));
  failed_.reset(new (std::nothrow) EventObject(false, false));
  std::unique_ptr<ThreadObject> thread;
  int ended = 0;  // 0: failed, 1: created
  if (created_ && failed_ && created_->Valid() && failed_->Valid())
    thread.reset(new (std::nothrow) ThreadObject(&UserInterface::ThreadProcedure, this));
  if (thread && thread->Valid()) {
    if (thread->Start()) ended = WaitForTwo(failed_->Handle(), created_->Handle(), false, INFINITE);
  }
  if (thread && ended != 1) {
    // The thread has given up and is returning; it must be gone before the object can go.
    thread->Wait(kOwnThreadEndWaitMs);
    thread.reset();
  }
  thread_ = std::move(thread);
  created_.reset();
  failed_.reset();
  if (ended != 1) {
    DiscardRegion();
    SetEvent(closed_.Handle());
    return Fail(Error::WindowCreate);
  }
  return lastError_ = 0;
}

// Runs on the window's own thread: create, report back, then pump its messages.
DWORD WINAPI UserInterface::ThreadProcedure(void* self) {
  UserInterface* window = static_cast<UserInterface*>(self);
  if (!window->MakeWindow(true)) {
    SetEvent(window->failed_->Handle());
    return 0;
  }
  // The creator may delete the events as soon as it wakes up: nothing of them after this.
  SetEvent(window->created_->Handle());
  window->ShowFirstTime();
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 1;
}

bool UserInterface::OnCreate() {
  if (!BeforeCreate()) return false;
  CreateToolTipWindow();
  CreateSkinFont(7);
  if (!LoadBitmaps() || !AfterLoadBitmaps()) return false;
  // A failed creation still gets WM_DESTROY; whatever was made here goes with the wrappers.
  offscreen_.reset(new (std::nothrow) Surface(description_.width, description_.height));
  if (!offscreen_ || !offscreen_->Valid()) return false;
  if (background_) background_->BlitWhole(offscreen_->Dc(), 0, 0);
  if (font_) SelectObject(offscreen_->Dc(), font_.Get());
  return CreateControls() == 0;
}

int UserInterface::OnDestroy() {
  FreeBitmaps();
  controls_.Clear();
  pressed_ = hovered_ = nullptr;
  dragging_ = false;
  if (capture_) ReleaseCapture();
  capture_ = false;
  // A window made again later starts from a new surface and font.
  offscreen_.reset();
  font_.Reset();
  return 2;
}

void UserInterface::OnClosed() { SetEvent(closed_.Handle()); }

int UserInterface::AddControl(std::unique_ptr<Control> control) {
  Control* added = control.get();
  if (!controls_.Append(std::move(control))) return Fail(Error::OutOfMemory);
  const int index = controls_.Count() - 1;
  if (!added->Instance()) added->SetInstance(instance_);
  if (added->HasToolTip()) AddControlToolTip(added, index);
  return lastError_ = 0;
}

void UserInterface::ForgetPressedControl() {
  if (pressed_) pressed_->SetState(kStateNormal);
  pressed_ = nullptr;
}

void UserInterface::AddControlToolTip(Control* control, int index) {
  // The text comes from the window when the tooltip asks for it (TTN_NEEDTEXTA).
  AddToolTip(control->Rect(), index, LPSTR_TEXTCALLBACKA);
}

bool UserInterface::CreateSkinFont(int points) {
  int height;
  {
    WindowDC dc(hwnd_);
    height = MulDiv(points, GetDeviceCaps(dc.Get(), LOGPIXELSY), 72);
  }
  HFONT font = CreateFontA(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_ROMAN | DEFAULT_PITCH, "Small Fonts");
  if (!font) return false;
  // The new font is selected before the old one is deleted: a selected font cannot be.
  if (offscreen_) SelectObject(offscreen_->Dc(), font);
  font_.Reset(font);
  return true;
}
