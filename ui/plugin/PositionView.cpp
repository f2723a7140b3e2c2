#include "ui/plugin/PositionView.h"

#include "core/ErrorCodes.h"
#include "ui/framework/GdiHandles.h"

constexpr COLORREF kMarkerColour = RGB(255, 0, 0);

PositionView::PositionView(HWND parent) : Picture(parent), position_(&own_) {}

PositionView::~PositionView() = default;

int PositionView::Create(int x, int y, int width, int height) {
  SetBounds(x, y, width, height);
  width_ = width;
  if (!markerPen_) markerPen_.Reset(CreatePen(PS_SOLID, 1, kMarkerColour));
  return lastError_ = markerPen_ ? 0 : Error::OutOfMemory;
}

void PositionView::Draw(HDC dc) {
  Picture::Draw(dc);
  int32_t offset = MarkerX();
  InterlockedExchange(&followedX_, offset);
  if (offset != 0 && markerPen_) {
    SelectionScope pen(dc, markerPen_.Get());
    MoveToEx(dc, rect_.left + offset, rect_.top, nullptr);
    LineTo(dc, rect_.left + offset, rect_.bottom);
  }
  position_->needsRepaint = 0;
}

int32_t PositionView::MarkerX() const {
  const PlayPosition& p = *position_;
  uint32_t length = p.length, elapsed = p.elapsed;
  if (p.restarted || length == 0) return 0;
  // 64 bits: width times hours of milliseconds does not fit 32.
  return (int32_t)((uint64_t)(uint32_t)width_ * elapsed / length);
}

void PositionView::FollowPosition() {
  LONG x = MarkerX();
  if (InterlockedExchange(&followedX_, x) != x) Invalidate();
}
