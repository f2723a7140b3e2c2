#include "ui/framework/TextDisplay.h"

#include "ui/framework/BitmapFont.h"
#include "ui/framework/GdiHandles.h"

constexpr COLORREF kDisplayText = RGB(0, 255, 0);

void TextDisplay::Draw(HDC dc) {
  RECT rect = rect_;
  ScopedBrush black(CreateSolidBrush(RGB(0, 0, 0)));
  FillRect(dc, &rect, black.Get());
  if (border_) DrawEdge(dc, &rect, EDGE_SUNKEN, BF_RECT);
  if (useBitmapFont_ && bitmapFont_) {
    bitmapFont_->DrawCentred(dc, rect, text_);
    return;
  }
  SetBkColor(dc, RGB(0, 0, 0));
  SetTextColor(dc, kDisplayText);
  DrawTextA(dc, text_, lstrlenA(text_), &rect, verticalFormat_ | horizontalFormat_ | DT_SINGLELINE | DT_NOPREFIX);
}
