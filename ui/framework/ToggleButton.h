// A push button with an on flag that flips at every release over it; its bitmap
// holds eight frames, the four off looks followed by the four on looks.
#pragma once
#include "ui/framework/PushButton.h"

class ToggleButton : public PushButton {
 public:
  explicit ToggleButton(HWND parent) : PushButton(parent) {}

  void OnMouseUp(LPARAM relative, WPARAM keys) override;

  bool On() const { return on_; }
  void SetOn(bool on) { on_ = on; }
  // Whether a release flips the on flag.
  bool Toggles() const { return toggles_; }
  void SetToggles(bool toggles) { toggles_ = toggles; }

 protected:
  int FrameCount() const override { return 8; }
  int FrameIndex() const override { return PushButton::FrameIndex() + (on_ ? 4 : 0); }

 private:
  bool on_ = false;
  bool toggles_ = true;
};
