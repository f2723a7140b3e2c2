#include "ui/framework/ImageSwitch.h"

#include "ui/framework/Surface.h"

int ImageSwitch::BindSurface(int x, int y, const Surface* onImage, const Surface* offImage) {
  onImage_ = onImage;
  offImage_ = offImage;
  SetGeometry(x, y, onImage ? onImage->Width() : 0, onImage ? onImage->Height() : 0);
  lastError_ = 0;
  return 0;
}

void ImageSwitch::Draw(HDC dc) {
  const Surface* image = on_ ? onImage_ : offImage_;
  if (image) image->BlitWhole(dc, rect_.left, rect_.top);
}
