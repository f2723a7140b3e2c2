// A Picture with a red vertical play-position marker. The play position lives in a
// PlayPosition record: the view's own, or one bound from the channel engine, which
// keeps moving it (on the streaming thread) whether or not a window exists and then
// calls FollowPosition. The view turns it into the marker's pixel column.
#pragma once
#include <windows.h>

#include "engine/ChannelEngine.h"
#include "resources/window_layout.h"
#include "ui/framework/GdiHandles.h"
#include "ui/framework/Picture.h"

// The width of the strips' position views and waveform pictures, in pixels.
constexpr int32_t kPositionViewWidth = kStripView.width;

class PositionView : public Picture {
 public:
  explicit PositionView(HWND parent);
  ~PositionView() override;

  // Bounds plus the marker pen. Returns 0, or 19 when the pen cannot be made.
  int Create(int x, int y, int width, int height);
  // Draws the picture, then the marker unless its offset is 0; clears needsRepaint.
  void Draw(HDC dc) override;
  // Called (on any thread) when the play position moved: invalidates the view when the
  // marker now falls on another pixel column.
  void FollowPosition();
  // The marker's column: width x elapsed / length, 0 at the start, without a length,
  // and for the block that began the data again.
  int32_t MarkerX() const;

  // Shows position from now on (null: the view's own record). It must outlive the view.
  void BindPosition(PlayPosition* position) { position_ = position ? position : &own_; }
  // The record shown: length, increment and elapsed (ms), needsRepaint, restarted.
  PlayPosition& Position() { return *position_; }
  const PlayPosition& Position() const { return *position_; }

 private:
  ScopedPen markerPen_;
  PlayPosition own_ = {};
  PlayPosition* position_;
  int32_t width_ = kPositionViewWidth;
  volatile LONG followedX_ = 0;  // the column FollowPosition last saw
};
