// Surfaces, colour-key regions, the bitmap font and the GDI wrappers, checked by
// reading pixels back and comparing regions with their per-pixel definition.
#include <gtest/gtest.h>

#include "tests/common/TestKit.h"
#include "tests/ui/framework/SkinColours.h"
#include "ui/framework/BitmapFont.h"
#include "ui/framework/GdiHandles.h"
#include "ui/framework/Surface.h"

using testkit::CaptureDc;
using testkit::Image;

namespace {

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

// The fast region and the per-pixel definition describe exactly the same pixels.
void ExpectSameRegionAsDefinition(const Surface& surface) {
  ScopedRegion fast(surface.MakeColourKeyRegion());
  ScopedRegion reference(testkit::ColourKeyRegionPerPixel(surface.Dc(), surface.Width(), surface.Height()));
  ASSERT_TRUE(fast);
  ASSERT_TRUE(reference);
  EXPECT_TRUE(EqualRgn(fast.Get(), reference.Get()));
}

TEST(Surface, ResourceBitmapKeepsItsSizeAMissingOneIsInvalid) {
  Surface frames(Module(), kFramesBitmap);
  ASSERT_TRUE(frames.Valid());
  EXPECT_EQ(frames.Width(), 40);
  EXPECT_EQ(frames.Height(), 80);

  Surface missing(Module(), 9999);
  EXPECT_FALSE(missing.Valid());
  EXPECT_EQ(missing.Width(), 0);
  ScopedRegion none(missing.MakeColourKeyRegion());
  EXPECT_FALSE(none);
}

TEST(ColourKeyRegion, SkinOutlineWithHolesMatchesThePerPixelDefinition) {
  Surface mask(Module(), kMaskBitmap);
  ASSERT_TRUE(mask.Valid());
  ExpectSameRegionAsDefinition(mask);
  ScopedRegion region(mask.MakeColourKeyRegion());
  EXPECT_FALSE(PtInRegion(region.Get(), 0, 0));      // cut corner
  EXPECT_FALSE(PtInRegion(region.Get(), 100, 70));   // hole
  EXPECT_TRUE(PtInRegion(region.Get(), 50, 50));     // skin
  EXPECT_TRUE(PtInRegion(region.Get(), 50, 100));    // near white 0xFEFFFF is opaque
  EXPECT_FALSE(PtInRegion(region.Get(), 200, 50));   // outside the bitmap
}

TEST(ColourKeyRegion, NoWhiteGivesTheFullRectangleAllWhiteGivesNothing) {
  Surface solid(Module(), kBackgroundBitmap);
  ExpectSameRegionAsDefinition(solid);
  ScopedRegion full(solid.MakeColourKeyRegion());
  ScopedRegion rect(CreateRectRgn(0, 0, 200, 150));
  EXPECT_TRUE(EqualRgn(full.Get(), rect.Get()));

  Surface white(64, 48);
  white.FillSurface(RGB(255, 255, 255));
  ExpectSameRegionAsDefinition(white);
  ScopedRegion empty(white.MakeColourKeyRegion());
  RECT box;
  EXPECT_EQ(GetRgnBox(empty.Get(), &box), NULLREGION);
}

TEST(ColourKeyRegion, ScatteredPixelsAndWideRowsMatchTheDefinition) {
  // A checkerboard-like pattern defeats row merging and needs several region blocks.
  Surface surface(300, 60);
  surface.FillSurface(RGB(255, 255, 255));
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 300; ++x)
      if ((x * 7 + y * 3) % 5 < 2 || (y > 40 && x % 3 == 0)) SetPixel(surface.Dc(), x, y, RGB(10, 20, 30));
  SetPixel(surface.Dc(), 0, 0, RGB(255, 254, 255));
  ExpectSameRegionAsDefinition(surface);
  // Tall and narrow: read from the bitmap in several strips of rows.
  Surface tall(3, 9000);
  tall.FillSurface(RGB(255, 255, 255));
  for (int y = 0; y < 9000; y += 5) SetPixel(tall.Dc(), y % 3, y, RGB(0, 0, 0));
  ExpectSameRegionAsDefinition(tall);
  // Blank surface: the frame is opaque, the inside white.
  Surface blank(40, 30);
  ExpectSameRegionAsDefinition(blank);
}

TEST(BitmapFont, WidthsWithAndWithoutTable) {
  Surface glyphs(Module(), kGlyphBitmap);
  BitmapFont fixed(&glyphs, 32, 90, 8, 6);
  EXPECT_EQ(fixed.TextWidth("AB C"), 24);
  EXPECT_EQ(fixed.TextWidth(""), 0);
  int widths[59];
  for (int i = 0; i < 59; ++i) widths[i] = 2 + i % 4;
  BitmapFont proportional(&glyphs, 32, 90, 8, 6, widths);
  // 'A' is cell 33 (width 3), 'a' has no cell (default 6), 0xE9 is below 32 when signed (6).
  EXPECT_EQ(proportional.TextWidth("A"), 3);
  EXPECT_EQ(proportional.TextWidth("Aa\xE9"), 3 + 6 + 6);
}

TEST(BitmapFont, DrawsCellsAndLeavesBlanksForCharactersWithoutCell) {
  Surface glyphs(Module(), kGlyphBitmap);
  BitmapFont font(&glyphs, 32, 90, 8, 6);
  Surface target(40, 20);
  target.FillSurface(RGB(0, 0, 0));
  font.Draw(target.Dc(), 2, 3, "AaB");
  Image image = CaptureDc(target.Dc(), 0, 0, 40, 20);
  uint32_t cellA = (33 * 4 << 16) | (100 << 8) | 200;
  uint32_t cellB = (34 * 4 << 16) | (100 << 8) | 200;
  EXPECT_TRUE(image.Filled({2, 3, 8, 11}, cellA));
  EXPECT_TRUE(image.Filled({8, 3, 14, 11}, 0x000000));  // 'a': a blank of the default advance
  EXPECT_TRUE(image.Filled({14, 3, 20, 11}, cellB));

  // Centred: width 12 in a 40-wide rectangle starts at 14; cell height 8 in 20 starts at 6.
  target.FillSurface(RGB(0, 0, 0));
  font.DrawCentred(target.Dc(), {0, 0, 40, 20}, "AB");
  image = CaptureDc(target.Dc(), 0, 0, 40, 20);
  EXPECT_TRUE(image.Filled({14, 6, 20, 14}, cellA));
  EXPECT_EQ(image.At(13, 6), 0x000000u);
}

TEST(GdiHandles, WrappersDeleteOnceAndRestoreSelections) {
  HBRUSH raw = CreateSolidBrush(RGB(1, 2, 3));
  {
    ScopedBrush brush(raw);
    EXPECT_EQ(brush.Get(), raw);
  }
  EXPECT_FALSE(DeleteObject(raw));  // already deleted by the wrapper

  ScopedPen pen(CreatePen(PS_SOLID, 1, RGB(9, 9, 9)));
  HPEN released = nullptr;
  {
    ScopedPen moved(pen.Release());
    EXPECT_FALSE(pen);
    released = moved.Release();
  }
  EXPECT_TRUE(DeleteObject(released));  // Release gave up ownership

  MemoryDC dc;
  ASSERT_TRUE(dc.Get());
  HGDIOBJ before = GetCurrentObject(dc.Get(), OBJ_BRUSH);
  ScopedBrush red(CreateSolidBrush(RGB(255, 0, 0)));
  {
    SelectionScope select(dc.Get(), red.Get());
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), red.Get());
  }
  EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), before);
}

}  // namespace
