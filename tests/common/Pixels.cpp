#include "tests/common/Pixels.h"

#include <cstdio>

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

namespace {

void Put16(std::vector<unsigned char>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<unsigned char>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
}  // namespace

bool Image::SaveBmp(const std::string& path) const {
  std::vector<unsigned char> out;
  uint32_t rowBytes = (uint32_t)width * 3;
  uint32_t padded = (rowBytes + 3) & ~3u;
  uint32_t dataSize = padded * height;
  out.push_back('B');
  out.push_back('M');
  Put32(out, 54 + dataSize);
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, width);
  Put32(out, height);
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);
  Put32(out, dataSize);
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      uint32_t p = At(x, y);
      out.push_back(p & 0xFF);
      out.push_back((p >> 8) & 0xFF);
      out.push_back((p >> 16) & 0xFF);
    }
    for (uint32_t i = rowBytes; i < padded; ++i) out.push_back(0);
  }
  return WriteFileBytes(path, out);
}

// An RGB PNG through the host's writer.
bool Image::SavePng(const std::string& path) const { return hostkit::WritePng(path, width, height, pixels, false); }

}  // namespace testkit
