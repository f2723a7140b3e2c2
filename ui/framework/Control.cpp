#include "ui/framework/Control.h"

Control::Control(HWND parent) : notifyLParam_(reinterpret_cast<LPARAM>(this)) {
  classId_ = kControl;
  parent_ = parent;
  text_[0] = toolTipText_[0] = '\0';
}

Control::~Control() = default;

void Control::SetGeometry(int x, int y, int width, int height) {
  rect_ = {x, y, x + width, y + height};
  width_ = width;
  height_ = height;
  region_.Reset(CreateRectRgn(rect_.left, rect_.top, rect_.right, rect_.bottom));
}

int Control::SetBounds(int x, int y, int width, int height) {
  SetGeometry(x, y, width, height);
  lastError_ = 0;
  return 0;
}

void Control::Invalidate() { InvalidateRect(parent_, &rect_, TRUE); }

void Control::SetState(int32_t state) {
  if (state == state_) return;
  previousState_ = state_;
  state_ = state;
  Invalidate();
}

void Control::Notify() {
  if (notifyMessage_) SendMessageA(parent_, notifyMessage_, notifyWParam_, notifyLParam_);
}

void Control::OnMouseDown(LPARAM relative, WPARAM keys) {
  previousState_ = state_;
  state_ = kStatePressed;
  Invalidate();
  // Last: the owner may close the window (and delete this control) while handling it.
  if (notifyOnPress_) Notify();
}

void Control::OnMouseUp(LPARAM relative, WPARAM keys) {
  previousState_ = state_;
  state_ = kStateNormal;
  Invalidate();
  // Only a release over the control that shows itself pressed completes a click.
  if (!notifyOnPress_ && previousState_ == kStatePressed) Notify();
}

void Control::SetCommand(UINT id) { SetNotify(WM_COMMAND, id, reinterpret_cast<LPARAM>(this)); }

void Control::SetNotify(UINT message, WPARAM wParam, LPARAM lParam) {
  notifyMessage_ = message;
  notifyWParam_ = wParam;
  notifyLParam_ = lParam;
}

void Control::SetText(const char* text) { lstrcpynA(text_, text ? text : "", sizeof text_); }

void Control::SetToolTipText(const char* text) {
  lstrcpynA(toolTipText_, text ? text : "", sizeof toolTipText_);
}
