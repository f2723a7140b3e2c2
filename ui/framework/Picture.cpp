#include "ui/framework/Picture.h"

#include "ui/framework/GdiHandles.h"
#include "ui/framework/Surface.h"

void Picture::Draw(HDC dc) {
  if (image_) {
    image_->BlitRect(dc, rect_.left, rect_.top, 0, 0, width_, height_);
    return;
  }
  if (transparentWhenEmpty_) return;
  ScopedBrush black(CreateSolidBrush(RGB(0, 0, 0)));
  FillRect(dc, &rect_, black.Get());
}
