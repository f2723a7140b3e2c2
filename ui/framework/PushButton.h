// A button drawn from a strip of frames stacked vertically, each as wide as the
// bitmap: 0 normal, 1 disabled, 2 hover, 3 pressed.
#pragma once
#include <memory>

#include "ui/framework/Control.h"
#include "ui/framework/Surface.h"

class PushButton : public Control {
 public:
  explicit PushButton(HWND parent) : Control(parent) {}

  // Uses a frames surface that stays the caller's; sized by one frame. Returns 0.
  int SetFrames(int x, int y, const Surface* frames);
  // Loads the frames from a bitmap resource of instance and owns them.
  // Returns 0, 19 without memory, or 28 when the bitmap cannot be loaded.
  int LoadFrames(int x, int y, HINSTANCE instance, int resourceId);
  void Draw(HDC dc) override;

 protected:
  // How many frames the bitmap holds.
  virtual int FrameCount() const { return 4; }
  // The frame to show now.
  virtual int FrameIndex() const;
  int FrameHeight() const;

  const Surface* frames_ = nullptr;
  std::unique_ptr<Surface> ownedFrames_;  // the frames LoadFrames made, if any
};
