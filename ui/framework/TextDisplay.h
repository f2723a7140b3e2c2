// A black display with green text in the window's skin font (or a BitmapFont),
// optionally framed by a sunken edge.
#pragma once
#include "ui/framework/Control.h"

class TextDisplay : public Control {
 public:
  explicit TextDisplay(HWND parent) : Control(parent) {}

  void Draw(HDC dc) override;

  bool Border() const { return border_; }
  void SetBorder(bool border) { border_ = border; }
  // DrawText formats: DT_LEFT/DT_CENTER/DT_RIGHT and DT_TOP/DT_VCENTER/DT_BOTTOM.
  void SetFormat(UINT horizontal, UINT vertical) {
    horizontalFormat_ = horizontal;
    verticalFormat_ = vertical;
  }

 private:
  bool border_ = false;
  UINT horizontalFormat_ = DT_CENTER;
  UINT verticalFormat_ = DT_VCENTER;
};
