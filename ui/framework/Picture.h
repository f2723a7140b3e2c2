// Shows the top-left part of an image the size of the control, or a black
// field (or nothing, when transparent) while it has no image.
#pragma once
#include "ui/framework/Control.h"

class Surface;

class Picture : public Control {
 public:
  explicit Picture(HWND parent) : Control(parent) {}

  void Draw(HDC dc) override;

  // The image stays the caller's; null shows the empty look. Call Invalidate after.
  void SetImage(const Surface* image) { image_ = image; }
  const Surface* Image() const { return image_; }
  bool TransparentWhenEmpty() const { return transparentWhenEmpty_; }
  void SetTransparentWhenEmpty(bool transparent) { transparentWhenEmpty_ = transparent; }

 private:
  const Surface* image_ = nullptr;
  bool transparentWhenEmpty_ = false;
};
