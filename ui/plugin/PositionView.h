// A Picture with a red vertical play-position marker. The marker and the play
// arithmetic live in a PlayPosition record: the view's own, or one bound from the
// channel engine, which keeps moving it (on the streaming thread) whether or not
// a window exists and then calls Invalidate.
#pragma once
#include "engine/ChannelEngine.h"
#include "ui/framework/GdiHandles.h"
#include "ui/framework/Picture.h"

class PositionView : public Picture {
 public:
  explicit PositionView(HWND parent);
  ~PositionView() override;

  // Bounds plus the marker pen. Returns 0, or 19 when the pen cannot be made.
  int Create(int x, int y, int width, int height);
  // Draws the picture, then the marker unless its offset is 0; clears needsRepaint.
  void Draw(HDC dc) override;

  // Shows position from now on (null: the view's own record). It must outlive the view.
  void BindPosition(PlayPosition* position) { position_ = position ? position : &own_; }
  // The record shown: markerX (pixels from the left edge, 0 = no marker),
  // previousMarkerX, length, increment and elapsed (ms), needsRepaint, width.
  PlayPosition& Position() { return *position_; }
  const PlayPosition& Position() const { return *position_; }

 private:
  ScopedPen markerPen_;
  PlayPosition own_ = {};
  PlayPosition* position_;
};
