// A skinned top-level window: no child windows, a table of drawn controls, an
// off-screen bitmap that every repaint is composed in, window dragging by any
// point outside the controls, tooltips and a "direct help" menu. Made on the
// calling thread (Create) or on a thread of its own with its own message loop
// (CreateOnOwnThread). Derived windows fill the hooks (CreateControls, LoadBitmaps...).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "core/SyncObject.h"
#include "ui/framework/Control.h"
#include "ui/framework/GdiHandles.h"
#include "ui/framework/OwnedArray.h"
#include "ui/framework/Surface.h"
#include "ui/framework/Window.h"
#include "ui/framework/WindowDescription.h"

class UserInterface : public Window {
 public:
  UserInterface();
  // Destroys a window still open on this thread; a window still open on its own
  // thread has that thread's loop ended (close it first to run OnDestroy). Waits
  // up to 5 s for an own thread to end.
  ~UserInterface() override;

  // Builds the tooltip window, skin font, bitmaps, off-screen bitmap and controls.
  bool OnCreate() override;
  // Frees bitmaps, controls and drawing objects; 2 ends the thread's message loop.
  // Windows living on someone else's thread override it to call this and return 1.
  int OnDestroy() override;
  void OnClosed() override;

  // Input routing and painting, see UserInterfaceInput.cpp.
  void OnNotify(WPARAM wParam, LPARAM lParam) override;
  void OnPaint(HDC dc, const PAINTSTRUCT& paint) override;
  void OnLButtonDown(LPARAM point, WPARAM keys) override;
  void OnLButtonUp(LPARAM point, WPARAM keys) override;
  void OnLButtonDblClk(LPARAM point, WPARAM keys) override;
  void OnMouseMove(LPARAM point, WPARAM keys) override;
  void OnCaptureChanged(HWND newCapture) override;
  void OnMouseWheel(WPARAM wParam, WORD delta, LPARAM lParam, WORD screenY) override;
  void OnKey(bool isUp, WPARAM key, LPARAM keyData) override;
  bool OnContextMenu(int screenX, int screenY) override;
  bool OnHelp(const HELPINFO* help) override;
  bool OnDropFiles(int x, int y, List* names) override;

  // CreateWindowExA with this object as the creation parameter; true when it exists.
  virtual bool CreateWindowHandle();
  // Inside OnCreate, last: builds the controls with AddControl. 0 or an error code.
  virtual int CreateControls() { return 0; }
  // Inside OnCreate: loads the window's skin (set the background here). False fails creation.
  virtual bool LoadBitmaps() { return true; }
  // Inside OnDestroy, first: releases what LoadBitmaps loaded.
  virtual void FreeBitmaps() {}
  virtual bool AfterLoadBitmaps() { return true; }
  // Inside OnCreate, first. False fails creation.
  virtual bool BeforeCreate() { return true; }
  // Right-click over a control without direct help, or over no control (null).
  virtual void OnControlContextMenu(Control* control, int screenX, int screenY) {}
  // The tooltip window asks for the text under the cursor.
  virtual void OnToolTipText(NMTTDISPINFOA* info);
  // After the window exists and before it is first shown.
  virtual void BeforeShow() {}
  // Files dropped on a control (or on no control: null). True when taken.
  virtual bool OnDropOnControl(Control* control, List* names) { return false; }
  // After a repaint reached the screen.
  virtual void AfterPaint(HDC dc) {}
  // Makes the window on a new thread that runs its message loop until the window
  // is destroyed (OnDestroy returning 2). Blocks until it exists. 0 or 18.
  virtual int CreateOnOwnThread(const WindowDescription& description, HINSTANCE instance, int showCommand);
  // Makes the window on the calling thread, whose message loop then drives it.
  // registerClass false uses a class registered before. 0 or 18. Both ways of
  // creation take the description's region, also when they fail.
  virtual int Create(bool registerClass, const WindowDescription& description, HINSTANCE instance,
                     int showCommand);
  // Unregisters the window class this object registered. False while a window of
  // the class still exists: the class stays registered and is retried by the next
  // registration or unregistration.
  virtual bool UnregisterWindowClass();

  // Appends a control (drawn after, hit-tested after all others) and owns it from
  // here, also on failure (then it goes at once): 0, or 19 when the table cannot
  // grow or control is null. Registers its tooltip under its table index when it has one.
  int AddControl(std::unique_ptr<Control> control);
  // RegisterClassExA for the description's class name with WindowProcedure. 0 or 18.
  int RegisterWindowClass();
  // Registers a control's rectangle with the tooltip window; the text is asked for when shown.
  void AddControlToolTip(Control* control, int index);
  // The skin font: "Small Fonts" of the given point size, selected in the off-screen DC.
  bool CreateSkinFont(int points);

  // The first enabled, visible control whose region holds the client point, or null.
  Control* ControlAt(int x, int y) const;
  int ControlCount() const { return controls_.Count(); }
  Control* GetControl(int index) const { return controls_.At(index); }
  Control* PressedControl() const { return pressed_; }
  Control* HoveredControl() const { return hovered_; }
  // Forgets a press whose release will never come (e.g. a dialog took the mouse).
  void ForgetPressedControl();
  bool Dragging() const { return dragging_; }

  HDC OffscreenDc() const { return offscreen_ ? offscreen_->Dc() : nullptr; }
  HFONT SkinFont() const { return font_.Get(); }
  // The skin under the controls; stays the caller's. Set it in LoadBitmaps.
  void SetBackground(const Surface* background) { background_ = background; }
  const Surface* Background() const { return background_; }
  const WindowDescription& Description() const { return description_; }
  int ShowCommand() const { return showCommand_; }
  bool ClassRegistered() const { return classRegistered_; }
  // Auto-reset event signalled after every WM_CLOSE (refused or not) and when
  // CreateOnOwnThread fails.
  HANDLE ClosedEvent() const { return closed_.Handle(); }

 private:
  static DWORD WINAPI ThreadProcedure(void* self);
  // Steps shared by both ways of creation.
  void TakeDescription(const WindowDescription& description, HINSTANCE instance, int showCommand);
  bool MakeWindow(bool registerClass);
  // Centre and outline.
  void PlaceAndShape();
  void ShowFirstTime();
  void DiscardRegion();
  // Ends a window drag and gives the capture back.
  void EndDrag();
  // The control-relative point of a client point, packed like a mouse lParam.
  static LPARAM Relative(const Control* control, int x, int y);
  // The first visible control (enabled or not) whose region holds the client point.
  Control* VisibleControlAt(int x, int y) const;

  WindowDescription description_;
  int showCommand_ = SW_SHOW;
  OwnedArray<Control> controls_;
  Control* pressed_ = nullptr;
  Control* hovered_ = nullptr;
  bool dragging_ = false;
  short anchorX_ = 0;
  short anchorY_ = 0;
  bool capture_ = false;
  const Surface* background_ = nullptr;
  // The outline taken from the description until the window takes it.
  ScopedRegion region_;
  // The font before the off-screen surface: the surface's DC, which may still
  // hold the font, is deleted first.
  ScopedFont font_;
  std::unique_ptr<Surface> offscreen_;
  std::unique_ptr<ThreadObject> thread_;
  std::unique_ptr<EventObject> created_;
  std::unique_ptr<EventObject> failed_;
  bool classRegistered_ = false;
  char registeredClass_[sizeof(WindowDescription::className)] = {};
  HINSTANCE registeredInstance_ = nullptr;
  EventObject closed_;
};
