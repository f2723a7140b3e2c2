#include "ui/framework/BitmapFont.h"

#include <new>

#include "ui/framework/Surface.h"

BitmapFont::BitmapFont(const Surface* glyphs, signed char first, signed char last, int cellHeight,
                       int defaultAdvance, const int* widths)
    : glyphs_(glyphs), first_(first), last_(last), cellHeight_(cellHeight), defaultAdvance_(defaultAdvance) {
  if (widths && last >= first) {
    int cells = last - first + 1;
    // Without memory for the table every glyph falls back to the default advance.
    widths_.reset(new (std::nothrow) int[cells]);
    if (widths_)
      for (int i = 0; i < cells; ++i) widths_[i] = widths[i];
  }
}

BitmapFont::~BitmapFont() = default;

int BitmapFont::CellOf(char ch) const {
  signed char code = static_cast<signed char>(ch);
  if (code < first_ || code > last_) return -1;
  return code - first_;
}

int BitmapFont::TextWidth(const char* text) const {
  int width = 0;
  for (const char* p = text; p && *p; ++p) {
    int cell = CellOf(*p);
    width += cell < 0 ? defaultAdvance_ : GlyphWidth(cell);
  }
  return width;
}

void BitmapFont::Draw(HDC target, int x, int y, const char* text) const {
  for (const char* p = text; p && *p; ++p) {
    int cell = CellOf(*p);
    if (cell < 0) {
      x += defaultAdvance_;
      continue;
    }
    int width = GlyphWidth(cell);
    if (glyphs_) glyphs_->BlitRect(target, x, y, 0, cell * cellHeight_, width, (cell + 1) * cellHeight_);
    x += width;
  }
}

void BitmapFont::DrawCentred(HDC target, const RECT& rect, const char* text) const {
  int x = rect.left + (rect.right - rect.left) / 2 - TextWidth(text) / 2;
  int y = rect.top + (rect.bottom - rect.top) / 2 - cellHeight_ / 2;
  Draw(target, x, y, text);
}
