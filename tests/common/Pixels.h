// Reading pixels back: a window's or DC's pixels as 0xRRGGBB values, saved as
// PNG for a person to look at, and the per-pixel colour-key region.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testkit {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // top-down rows, 0xRRGGBB

  bool Empty() const { return pixels.empty(); }
  uint32_t At(int x, int y) const { return pixels[(size_t)y * width + x]; }
  // True when every pixel of the rectangle (right and bottom exclusive) has the colour.
  bool Filled(const RECT& rect, uint32_t rgb) const;
  // How many pixels of the rectangle have the colour.
  int Count(const RECT& rect, uint32_t rgb) const;
  bool SavePng(const std::string& path) const;
};

// The pixels of width x height at (x, y) of a DC.
Image CaptureDc(HDC dc, int x, int y, int width, int height);
// The client area of a window as it is on the screen (pending paints are done first).
Image CaptureWindow(HWND hwnd);

// The colour-key region by its definition: the full rectangle with every pure
// white pixel removed one GetPixel and one CombineRgn at a time.
HRGN ColourKeyRegionPerPixel(HDC dc, int width, int height);

}  // namespace testkit
