// Text drawn from a strip of glyph cells: cell i of the glyph surface holds the
// character first + i; cells are stacked vertically and start at column 0.
#pragma once
#include <windows.h>

#include <memory>

class Surface;

class BitmapFont {
 public:
  // glyphs stays the caller's and must outlive the font. widths, when given,
  // holds one width per cell (last - first + 1 entries) and is copied.
  BitmapFont(const Surface* glyphs, signed char first, signed char last, int cellHeight, int defaultAdvance,
             const int* widths = nullptr);
  BitmapFont(const BitmapFont&) = delete;
  BitmapFont& operator=(const BitmapFont&) = delete;

  // Pixels the text advances; characters without a cell advance by the default.
  int TextWidth(const char* text) const;
  // Draws the text with the top-left of its first cell at (x, y).
  void Draw(HDC target, int x, int y, const char* text) const;
  // Draws the text centred in the rectangle.
  void DrawCentred(HDC target, const RECT& rect, const char* text) const;

 private:
  // The cell index of a character, or -1 when it has none (signed comparison).
  int CellOf(char ch) const;
  int GlyphWidth(int cell) const { return widths_ ? widths_[cell] : defaultAdvance_; }

  const Surface* glyphs_;
  signed char first_;
  signed char last_;
  int cellHeight_;
  int defaultAdvance_;
  std::unique_ptr<int[]> widths_;
};
