#include "ui/framework/Surface.h"

#include <new>

#include "ui/framework/GdiHandles.h"

Surface::Surface(int width, int height) {
  HBITMAP bitmap;
  {
    WindowDC screen(GetDesktopWindow());
    bitmap = CreateCompatibleBitmap(screen.Get(), width, height);
  }
  Attach(bitmap);
  if (Valid()) Rectangle(dc_, 0, 0, width, height);
}

Surface::Surface(HINSTANCE instance, int resourceId) {
  Attach(LoadBitmapA(instance, MAKEINTRESOURCEA(resourceId)));
}

// Both constructors end here: read the bitmap's record and select it into a fresh memory DC.
void Surface::Attach(HBITMAP bitmap) {
  bitmap_ = bitmap;
  if (!bitmap_) return;
  if (!GetObjectA(bitmap_, sizeof info_, &info_)) info_ = BITMAP{};
  dc_ = CreateCompatibleDC(nullptr);
  if (dc_) previousBitmap_ = SelectObject(dc_, bitmap_);
}

Surface::~Surface() {
  if (dc_) {
    if (previousBitmap_) SelectObject(dc_, previousBitmap_);
    DeleteDC(dc_);
  }
  if (bitmap_) DeleteObject(bitmap_);
}

void Surface::BlitWhole(HDC target, int x, int y) const {
  BitBlt(target, x, y, Width(), Height(), dc_, 0, 0, rasterOperation_);
}

void Surface::BlitRect(HDC target, int x, int y, int left, int top, int right, int bottom) const {
  BitBlt(target, x, y, right - left, bottom - top, dc_, left, top, rasterOperation_);
}

void Surface::FillSurface(COLORREF colour) {
  ScopedBrush brush(CreateSolidBrush(colour));
  if (!brush || !dc_) return;
  RECT all = {0, 0, Width(), Height()};
  SelectionScope keep(dc_, brush.Get());
  FillRect(dc_, &all, brush.Get());
}

HRGN Surface::MakeColourKeyRegion() const {
  if (!Valid()) return nullptr;
  return ::MakeColourKeyRegion(dc_, Width(), Height());
}

namespace {

constexpr DWORD kKeyColour = 0x00FFFFFF;  // pure white, as a 32-bit DIB pixel
constexpr DWORD kRectsPerCall = 4000;     // keeps each ExtCreateRegion call modest

// Collects rectangles into RGNDATA blocks and unions each full block into the result.
class RegionBuilder {
 public:
  RegionBuilder(int width, int height) : result_(CreateRectRgn(0, 0, 0, 0)) {
    size_t bytes = sizeof(RGNDATAHEADER) + sizeof(RECT) * kRectsPerCall;
    data_ = static_cast<RGNDATA*>(operator new(bytes, std::nothrow));
    bounds_ = {0, 0, width, height};
    Start();
  }
  ~RegionBuilder() {
    operator delete(data_);
    if (result_) DeleteObject(result_);
  }
  RegionBuilder(const RegionBuilder&) = delete;
  RegionBuilder& operator=(const RegionBuilder&) = delete;

  bool Valid() const { return data_ && result_ && ok_; }
  RECT* Rects() { return reinterpret_cast<RECT*>(data_->Buffer); }
  DWORD Count() const { return data_->rdh.nCount; }

  // Starts a new block unless count more rectangles fit into this one; true when they fit.
  bool Reserve(DWORD count) {
    if (!Valid() || count > kRectsPerCall) return false;
    if (Count() + count > kRectsPerCall) Flush();
    return true;
  }

  void Add(int left, int top, int right, int bottom) {
    if (!Valid()) return;
    if (Count() == kRectsPerCall) Flush();
    RECT& r = Rects()[data_->rdh.nCount++];
    r = {left, top, right, bottom};
  }

  // The finished region, owned by the caller; null when any step failed.
  HRGN Finish() {
    Flush();
    if (!Valid()) return nullptr;
    HRGN region = result_;
    result_ = nullptr;
    return region;
  }

 private:
  void Start() {
    if (!data_) return;
    data_->rdh.dwSize = sizeof(RGNDATAHEADER);
    data_->rdh.iType = RDH_RECTANGLES;
    data_->rdh.nCount = 0;
    data_->rdh.nRgnSize = 0;
    data_->rdh.rcBound = bounds_;
  }
  void Flush() {
    if (!Valid() || Count() == 0) return;
    DWORD bytes = sizeof(RGNDATAHEADER) + sizeof(RECT) * Count();
    HRGN part = ExtCreateRegion(nullptr, bytes, data_);
    if (!part || CombineRgn(result_, result_, part, RGN_OR) == ERROR) ok_ = false;
    if (part) DeleteObject(part);
    Start();
  }

  RGNDATA* data_ = nullptr;
  HRGN result_;
  RECT bounds_;
  bool ok_ = true;
};

// Marks the runs of non-key pixels of one row as [start, end) pairs; returns their count.
int RowRuns(const DWORD* row, int width, int* runs) {
  int count = 0;
  int x = 0;
  while (x < width) {
    while (x < width && (row[x] & kKeyColour) == kKeyColour) ++x;
    if (x == width) break;
    int start = x;
    while (x < width && (row[x] & kKeyColour) != kKeyColour) ++x;
    runs[2 * count] = start;
    runs[2 * count + 1] = x;
    ++count;
  }
  return count;
}

}  // namespace

HRGN MakeColourKeyRegion(HDC dc, int width, int height) {
  if (width <= 0 || height <= 0) return CreateRectRgn(0, 0, 0, 0);
  // Copy the pixels once into a 32-bit top-down DIB, where they can be read directly.
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  ScopedBitmap dib(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
  MemoryDC copyDc;
  if (!dib || !bits || !copyDc.Get()) return nullptr;
  {
    SelectionScope select(copyDc.Get(), dib.Get());
    if (!BitBlt(copyDc.Get(), 0, 0, width, height, dc, 0, 0, SRCCOPY)) return nullptr;
  }
  GdiFlush();

  // Rows with the same runs as the row above extend its rectangles downwards,
  // so a typical outline needs only a few hundred rectangles.
  int* runs = new (std::nothrow) int[4 * (width + 1)];
  if (!runs) return nullptr;
  int* current = runs;
  int* previous = runs + 2 * (width + 1);
  int previousCount = -1;
  DWORD firstOpen = 0;  // index in the block of the first rectangle of the row above
  RegionBuilder builder(width, height);
  const DWORD* pixels = static_cast<const DWORD*>(bits);
  for (int y = 0; y < height && builder.Valid(); ++y) {
    int count = RowRuns(pixels + (size_t)y * width, width, current);
    bool same = count == previousCount && count > 0;
    for (int i = 0; same && i < 2 * count; ++i) same = current[i] == previous[i];
    if (same) {
      for (int i = 0; i < count; ++i) builder.Rects()[firstOpen + i].bottom = y + 1;
      continue;
    }
    // Only a row whose rectangles share one block can be extended later.
    bool extendable = builder.Reserve(count);
    firstOpen = builder.Count();
    for (int i = 0; i < count; ++i) builder.Add(current[2 * i], y, current[2 * i + 1], y + 1);
    int* swap = previous;
    previous = current;
    current = swap;
    previousCount = extendable ? count : -1;
  }
  delete[] runs;
  return builder.Finish();
}
