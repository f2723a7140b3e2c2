// A control that shows one of two whole images, by its on flag.
#pragma once
#include "ui/framework/Control.h"

class Surface;

class ImageSwitch : public Control {
 public:
  explicit ImageSwitch(HWND parent) : Control(parent) {}

  // Places the switch at (x, y), sized by the on image. The images stay the caller's. Returns 0.
  int BindSurface(int x, int y, const Surface* onImage, const Surface* offImage);
  void Draw(HDC dc) override;

  bool On() const { return on_; }
  void SetOn(bool on) { on_ = on; }

 private:
  const Surface* onImage_ = nullptr;
  const Surface* offImage_ = nullptr;
  bool on_ = false;
};
