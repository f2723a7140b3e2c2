// Input routing and painting of a skinned window: hit testing, pressing and
// dragging, hover looks, keys, wheel, off-screen painting, tooltips, the
// "direct help" menu, help and drops.
#include <windowsx.h>

#include "ui/framework/Control.h"
#include "ui/framework/Surface.h"
#include "ui/framework/UserInterface.h"

namespace {
constexpr UINT kDirectHelpItem = 1;

// A client point of a mouse message, with its words taken as signed.
POINT PointOf(LPARAM point) { return {GET_X_LPARAM(point), GET_Y_LPARAM(point)}; }

bool Contains(const Control* control, int x, int y) {
  return control->Region() && PtInRegion(control->Region(), x, y);
}
}  // namespace

LPARAM UserInterface::Relative(const Control* control, int x, int y) {
  return MAKELPARAM(x - control->Rect().left, y - control->Rect().top);
}

Control* UserInterface::ControlAt(int x, int y) const {
  for (int i = 0; i < controls_.Count(); ++i) {
    Control* control = controls_.At(i);
    if (control->Enabled() && control->Visible() && Contains(control, x, y)) return control;
  }
  return nullptr;
}

Control* UserInterface::VisibleControlAt(int x, int y) const {
  for (int i = 0; i < controls_.Count(); ++i) {
    Control* control = controls_.At(i);
    if (control->Visible() && Contains(control, x, y)) return control;
  }
  return nullptr;
}

// A press on a control presses it (no capture); anywhere else starts dragging the window.
void UserInterface::OnLButtonDown(LPARAM point, WPARAM keys) {
  POINT p = PointOf(point);
  Control* hit = ControlAt(p.x, p.y);
  if (hit) {
    pressed_ = hit;
    hit->OnMouseDown(Relative(hit, p.x, p.y), keys);
    return;
  }
  if (!capture_) {
    SetCapture(hwnd_);
    capture_ = true;
  }
  dragging_ = true;
  anchorX_ = static_cast<short>(p.x);
  anchorY_ = static_cast<short>(p.y);
}

// The release goes to whichever control is under the pointer; the control
// decides from its previous look whether that completes a click.
void UserInterface::OnLButtonUp(LPARAM point, WPARAM keys) {
  POINT p = PointOf(point);
  Control* hit = ControlAt(p.x, p.y);
  if (hit) hit->OnMouseUp(Relative(hit, p.x, p.y), keys);
  pressed_ = nullptr;
  EndDrag();
}

void UserInterface::EndDrag() {
  dragging_ = false;
  if (capture_) {
    capture_ = false;
    ReleaseCapture();
  }
}

// Alt+Tab, a menu or another window took the mouse: a drag must not outlive the capture.
void UserInterface::OnCaptureChanged(HWND newCapture) {
  if (newCapture == hwnd_) return;
  dragging_ = false;
  capture_ = false;
}

void UserInterface::OnLButtonDblClk(LPARAM point, WPARAM keys) {
  POINT p = PointOf(point);
  Control* hit = ControlAt(p.x, p.y);
  if (hit) hit->OnDoubleClick(Relative(hit, p.x, p.y), keys);
}

// While dragging the window follows the pointer; otherwise the hover and pressed looks follow it.
void UserInterface::OnMouseMove(LPARAM point, WPARAM keys) {
  POINT p = PointOf(point);
  // A drag whose button release went elsewhere (the capture was taken away) ends here.
  if (dragging_ && !(keys & MK_LBUTTON)) EndDrag();
  if (dragging_) {
    RECT rect;
    GetWindowRect(hwnd_, &rect);
    OffsetRect(&rect, static_cast<short>(p.x - anchorX_), static_cast<short>(p.y - anchorY_));
    SetWindowPos(hwnd_, nullptr, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    return;
  }
  Control* hit = ControlAt(p.x, p.y);
  if (hit) {
    if (!hovered_) hovered_ = hit;
    hit->OnHover(Relative(hit, p.x, p.y), keys);
  }
  if (pressed_) pressed_->SetState(pressed_ == hit ? kStatePressed : kStateNormal);
  if (hovered_) {
    if (hovered_ != hit) hovered_->SetState(kStateNormal);
    hovered_ = hit;
    if (hit && hit != pressed_) hit->SetState(kStateHover);
  }
}

void UserInterface::OnMouseWheel(WPARAM wParam, WORD delta, LPARAM lParam, WORD screenY) {
  POINT p = {GET_X_LPARAM(lParam), static_cast<short>(screenY)};
  ScreenToClient(hwnd_, &p);
  Control* hit = ControlAt(p.x, p.y);
  if (hit) hit->OnWheel(delta, wParam);
}

// Every enabled, visible control that accepts keys hears the key, told whether the cursor is over it.
void UserInterface::OnKey(bool isUp, WPARAM key, LPARAM keyData) {
  POINT cursor;
  GetCursorPos(&cursor);
  ScreenToClient(hwnd_, &cursor);
  for (int i = 0; i < controls_.Count(); ++i) {
    Control* control = controls_.At(i);
    if (!control->Enabled() || !control->Visible() || !control->AcceptsKeys()) continue;
    control->OnKeyEvent(isUp, key, Contains(control, cursor.x, cursor.y));
    if (controls_.Count() == 0) break;  // the key closed the window
  }
}

// Restores the skin under the invalid rectangle, draws the controls that meet it
// into the off-screen bitmap and copies only that rectangle to the screen.
void UserInterface::OnPaint(HDC dc, const PAINTSTRUCT& paint) {
  const RECT& r = paint.rcPaint;
  HDC offscreen = OffscreenDc();
  if (!offscreen) return;
  if (background_) background_->BlitRect(offscreen, r.left, r.top, r.left, r.top, r.right, r.bottom);
  for (int i = 0; i < controls_.Count(); ++i) {
    Control* control = controls_.At(i);
    RECT common;
    if (control->Visible() && IntersectRect(&common, &control->Rect(), &r)) control->Draw(offscreen);
  }
  BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, offscreen, r.left, r.top, SRCCOPY);
  AfterPaint(dc);
}

void UserInterface::OnNotify(WPARAM wParam, LPARAM lParam) {
  NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
  if (header && header->code == TTN_NEEDTEXTA) OnToolTipText(reinterpret_cast<NMTTDISPINFOA*>(lParam));
}

// The text of the visible control under the cursor, disabled or not, fresh at every showing.
void UserInterface::OnToolTipText(NMTTDISPINFOA* info) {
  POINT cursor;
  GetCursorPos(&cursor);
  ScreenToClient(hwnd_, &cursor);
  Control* control = VisibleControlAt(cursor.x, cursor.y);
  if (!control) return;
  control->PrepareToolTip();
  info->lpszText = const_cast<char*>(control->ToolTipText());
}

// Right-click: over a control that offers direct help, a one-item menu whose item
// asks for help at that point; otherwise the window's own context-menu hook.
bool UserInterface::OnContextMenu(int screenX, int screenY) {
  POINT p = {screenX, screenY};
  ScreenToClient(hwnd_, &p);
  Control* hit = ControlAt(p.x, p.y);
  if (!hit || !hit->DirectHelp()) {
    OnControlContextMenu(hit, screenX, screenY);
    return true;
  }
  HMENU menu = CreatePopupMenu();
  if (!menu) return true;
  UINT flags = MF_STRING | (helpId_ == kNoHelp ? MF_GRAYED : 0);
  AppendMenuA(menu, flags, kDirectHelpItem, "direct help");
  // The menu closes properly when clicked elsewhere only if the window is in front.
  SetForegroundWindow(hwnd_);
  UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD, screenX, screenY, 0, hwnd_, nullptr);
  DestroyMenu(menu);
  if (chosen == kDirectHelpItem) {
    HELPINFO help = {};
    help.MousePos = {screenX, screenY};
    OnHelp(&help);
  }
  return true;
}

// Help at a point: the window's help id with the id of the visible control there (or -1).
bool UserInterface::OnHelp(const HELPINFO* help) {
  ErrorHandler* handler = GetErrorHandler();
  if (helpId_ == kNoHelp || !handler || !help) return false;
  POINT p = help->MousePos;
  ScreenToClient(hwnd_, &p);
  Control* control = VisibleControlAt(p.x, p.y);
  handler->ShowHelp(helpId_, control ? static_cast<intptr_t>(control->HelpId()) : -1);
  return control != nullptr;
}

bool UserInterface::OnDropFiles(int x, int y, List* names) { return OnDropOnControl(ControlAt(x, y), names); }
