#include "ui/framework/PushButton.h"

#include <new>

#include "core/ErrorCodes.h"
#include "ui/framework/Surface.h"

int PushButton::FrameHeight() const { return frames_ ? frames_->Height() / FrameCount() : 0; }

int PushButton::SetFrames(int x, int y, const Surface* frames) {
  frames_ = frames;
  if (frames != ownedFrames_.get()) ownedFrames_.reset();
  SetGeometry(x, y, frames ? frames->Width() : 0, FrameHeight());
  state_ = kStateNormal;
  lastError_ = 0;
  return 0;
}

int PushButton::LoadFrames(int x, int y, HINSTANCE instance, int resourceId) {
  std::unique_ptr<Surface> frames(new (std::nothrow) Surface(instance, LOWORD(resourceId)));
  if (!frames) return lastError_ = Error::OutOfMemory;
  if (!frames->Valid()) return lastError_ = Error::ControlCreate;
  ownedFrames_ = std::move(frames);
  return SetFrames(x, y, ownedFrames_.get());
}

int PushButton::FrameIndex() const {
  if (!enabled_) return 1;
  if (state_ == kStatePressed) return 3;
  if (state_ == kStateHover) return 2;
  return 0;
}

void PushButton::Draw(HDC dc) {
  if (!frames_) return;
  int height = FrameHeight();
  int top = FrameIndex() * height;
  frames_->BlitRect(dc, rect_.left, rect_.top, 0, top, frames_->Width(), top + height);
}
