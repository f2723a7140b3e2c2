// A drawn control of a skinned window: not a child window but an object in the
// window's control table, with a rectangle and hit region in client coordinates.
// The window routes mouse and key events to it, asks it to draw into its
// off-screen DC, and hears about a click as the control's notify message.
#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/framework/GdiHandles.h"
#include "ui/framework/WindowedObject.h"

class BitmapFont;

// The visual states; the frame buttons pick their frame from them.
enum ControlState : int32_t { kStatePressed = 0, kStateNormal = 1, kStateHover = 2 };

constexpr int kControlTextSize = 256;

class Control : public WindowedObject {
 public:
  // parent is the window that owns the control (its Handle() inside CreateControls).
  explicit Control(HWND parent);
  ~Control() override;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // Before the tooltip text is handed out: a control may refresh it here.
  virtual void PrepareToolTip() {}
  // Button press over the control (relative: control x low, y high): shows it pressed.
  virtual void OnMouseDown(LPARAM relative, WPARAM keys);
  // Button release over the control: a click when it was showing itself pressed.
  virtual void OnMouseUp(LPARAM relative, WPARAM keys);
  // Mouse move over the control.
  virtual void OnHover(LPARAM relative, WPARAM keys) {}
  // Wheel turned over the control; delta is the signed wheel delta as a word.
  virtual void OnWheel(WORD delta, WPARAM wParam) {}
  // A key went down or up while the control accepts keys.
  virtual void OnKeyEvent(bool isUp, WPARAM key, bool cursorOver) {}
  // Double click over the control.
  virtual void OnDoubleClick(LPARAM relative, WPARAM keys) {}
  // Draws the control into the window's off-screen DC at its rectangle.
  virtual void Draw(HDC dc) {}

  // Rectangle (x, y, x + width, y + height) and a rectangular hit region. Returns 0.
  int SetBounds(int x, int y, int width, int height);
  // Marks the control's rectangle for repainting; safe from any thread.
  void Invalidate();
  // Changes the visual state and repaints only when it differs.
  void SetState(int32_t state);
  // Sends the notify message to the parent window (nothing when it is 0).
  void Notify();

  // The notification of a click: WM_COMMAND with this command id and lParam = this control.
  void SetCommand(UINT id);
  void SetNotify(UINT message, WPARAM wParam, LPARAM lParam);
  UINT NotifyMessage() const { return notifyMessage_; }
  WPARAM NotifyWParam() const { return notifyWParam_; }

  const char* Text() const { return text_; }
  void SetText(const char* text);
  const char* ToolTipText() const { return toolTipText_; }
  // Sets the tooltip text; refreshed at every showing.
  void SetToolTipText(const char* text);

  HRGN Region() const { return region_.Get(); }
  const RECT& Rect() const { return rect_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int32_t State() const { return state_; }
  int32_t PreviousState() const { return previousState_; }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  bool HasToolTip() const { return hasToolTip_; }
  void SetHasToolTip(bool has) { hasToolTip_ = has; }
  bool AcceptsKeys() const { return acceptsKeys_; }
  void SetAcceptsKeys(bool accepts) { acceptsKeys_ = accepts; }
  bool NotifyOnPress() const { return notifyOnPress_; }
  void SetNotifyOnPress(bool onPress) { notifyOnPress_ = onPress; }
  int32_t UserValue() const { return userValue_; }
  void SetUserValue(int32_t value) { userValue_ = value; }
  bool DirectHelp() const { return directHelp_; }
  void SetDirectHelp(bool offered) { directHelp_ = offered; }
  uint32_t HelpId() const { return helpId_; }
  void SetHelpId(uint32_t id) { helpId_ = id; }
  // A TextDisplay draws with the font while useFont is set; the font stays the caller's.
  void SetBitmapFont(const BitmapFont* font, bool useFont) {
    bitmapFont_ = font;
    useBitmapFont_ = useFont;
  }

 protected:
  // Rectangle and region from a position and a size, shared by the geometry operations.
  void SetGeometry(int x, int y, int width, int height);

  char text_[kControlTextSize];
  char toolTipText_[kControlTextSize];
  ScopedRegion region_;
  RECT rect_ = {0, 0, 0, 0};
  int width_ = 0;
  int height_ = 0;
  int32_t state_ = kStateNormal;
  int32_t previousState_ = kStateNormal;
  bool enabled_ = true;
  bool visible_ = true;
  bool hasToolTip_ = true;
  UINT notifyMessage_ = 0;
  WPARAM notifyWParam_ = 0x200;
  LPARAM notifyLParam_;
  bool acceptsKeys_ = false;
  bool notifyOnPress_ = false;
  int32_t userValue_ = 0;
  bool directHelp_ = true;
  uint32_t helpId_ = 0;
  const BitmapFont* bitmapFont_ = nullptr;
  bool useBitmapFont_ = false;
};
