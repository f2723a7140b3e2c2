#include "tests/common/Pixels.h"

#include "host/PngWriter.h"
#include "tests/common/TestKit.h"

namespace testkit {

bool Image::Filled(const RECT& rect, uint32_t rgb) const {
  return Count(rect, rgb) == (rect.right - rect.left) * (rect.bottom - rect.top);
}

int Image::Count(const RECT& rect, uint32_t rgb) const {
  int n = 0;
  for (int y = rect.top; y < rect.bottom; ++y)
    for (int x = rect.left; x < rect.right; ++x)
      if (x >= 0 && y >= 0 && x < width && y < height && At(x, y) == rgb) ++n;
  return n;
}

Image CaptureDc(HDC dc, int x, int y, int width, int height) {
  Image image;
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(nullptr);
  if (dib && memory) {
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, dc, x, y, SRCCOPY);
    GdiFlush();
    image.width = width;
    image.height = height;
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    image.pixels.assign(p, p + (size_t)width * height);
    for (uint32_t& px : image.pixels) px &= 0xFFFFFF;
    SelectObject(memory, old);
  }
  if (memory) DeleteDC(memory);
  if (dib) DeleteObject(dib);
  return image;
}

Image CaptureWindow(HWND hwnd) {
  UpdateWindow(hwnd);
  RECT client;
  GetClientRect(hwnd, &client);
  HDC dc = GetDC(hwnd);
  Image image = CaptureDc(dc, 0, 0, client.right, client.bottom);
  ReleaseDC(hwnd, dc);
  return image;
}

HRGN ColourKeyRegionPerPixel(HDC dc, int width, int height) {
  HRGN region = CreateRectRgn(0, 0, width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (GetPixel(dc, x, y) != 0xFFFFFF) continue;
      HRGN pixel = CreateRectRgn(x, y, x + 1, y + 1);
      CombineRgn(region, region, pixel, RGN_XOR);
      DeleteObject(pixel);
    }
  }
  return region;
}

// An RGB PNG through the host's writer.
bool Image::SavePng(const std::string& path) const { return hostkit::WritePng(path, width, height, pixels, false); }

}  // namespace testkit
