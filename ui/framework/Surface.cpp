#include "ui/framework/Surface.h"

#include <memory>
#include <new>

#include "ui/framework/GdiHandles.h"

namespace {
HBITMAP ScreenCompatibleBitmap(int width, int height) {
  WindowDC screen(GetDesktopWindow());
  return CreateCompatibleBitmap(screen.Get(), width, height);
}
}  // namespace

Surface::Surface(int width, int height) : Surface(ScreenCompatibleBitmap(width, height)) {
  if (Valid()) Rectangle(Dc(), 0, 0, width, height);
}

Surface::Surface(HINSTANCE instance, int resourceId) : Surface(LoadBitmapA(instance, MAKEINTRESOURCEA(resourceId))) {}

Surface::Surface(HBITMAP bitmap) : bitmap_(bitmap), dc_(nullptr), selection_(dc_.Get(), bitmap) {
  if (!bitmap || !GetObjectA(bitmap, sizeof info_, &info_)) info_ = BITMAP{};
}

void Surface::BlitWhole(HDC target, int x, int y) const {
  BitBlt(target, x, y, Width(), Height(), Dc(), 0, 0, SRCCOPY);
}

void Surface::BlitRect(HDC target, int x, int y, int left, int top, int right, int bottom) const {
  BitBlt(target, x, y, right - left, bottom - top, Dc(), left, top, SRCCOPY);
}

void Surface::FillSurface(COLORREF colour) {
  ScopedBrush brush(CreateSolidBrush(colour));
  if (!brush || !Dc()) return;
  RECT all = {0, 0, Width(), Height()};
  SelectionScope keep(Dc(), brush.Get());
  FillRect(Dc(), &all, brush.Get());
}

namespace {

constexpr DWORD kKeyColour = 0x00FFFFFF;  // pure white, as a 32-bit DIB pixel
constexpr DWORD kRectsPerBlock = 64;      // rectangles per ExtCreateRegion call
constexpr int kMaxLevels = 48;            // merge levels: 2^47 blocks at most
constexpr int kStripPixels = 16384;       // pixels read from the bitmap at a time

// Collects rectangles in small blocks, turns each into a region and unions the
// regions pairwise like a binary counter. Platforms that add the rectangles of one
// ExtCreateRegion call one at a time then spend n log n, not n squared, steps.
class RegionBuilder {
 public:
  RegionBuilder(int width, int height) : bounds_{0, 0, width, height} { Start(); }
  RegionBuilder(const RegionBuilder&) = delete;
  RegionBuilder& operator=(const RegionBuilder&) = delete;

  bool Valid() const { return ok_; }
  RECT* Rects() { return block_.rects; }
  DWORD Count() const { return block_.header.nCount; }

  // Starts a new block unless count more rectangles fit into this one; true when they fit.
  bool Reserve(DWORD count) {
    if (!ok_ || count > kRectsPerBlock) return false;
    if (Count() + count > kRectsPerBlock) Flush();
    return true;
  }

  void Add(int left, int top, int right, int bottom) {
    if (!ok_) return;
    if (Count() == kRectsPerBlock) Flush();
    block_.rects[block_.header.nCount++] = {left, top, right, bottom};
  }

  // The finished region, owned by the caller; null when any step failed.
  HRGN Finish() {
    Flush();
    if (!ok_) return nullptr;
    if (depth_ == 0) return CreateRectRgn(0, 0, 0, 0);  // not a single opaque pixel
    ScopedRegion region(stack_[--depth_].Release());
    while (depth_ > 0) UnionIntoStack(&region);
    return region.Release();
  }

 private:
  // The RGNDATA layout: the header, then the rectangles.
  struct Block {
    RGNDATAHEADER header;
    RECT rects[kRectsPerBlock];
  };

  void Start() {
    block_.header.dwSize = sizeof(RGNDATAHEADER);
    block_.header.iType = RDH_RECTANGLES;
    block_.header.nCount = 0;
    block_.header.nRgnSize = 0;
    block_.header.rcBound = bounds_;
  }
  // Unions *region into the top of the stack and takes that off as the new *region.
  void UnionIntoStack(ScopedRegion* region) {
    ScopedRegion& into = stack_[--depth_];
    if (CombineRgn(into.Get(), into.Get(), region->Get(), RGN_OR) == ERROR) ok_ = false;
    region->Reset(into.Release());
  }
  void Flush() {
    if (!ok_ || Count() == 0) return;
    DWORD bytes = sizeof(RGNDATAHEADER) + sizeof(RECT) * Count();
    ScopedRegion region(ExtCreateRegion(nullptr, bytes, reinterpret_cast<const RGNDATA*>(&block_)));
    Start();
    if (!region) {
      ok_ = false;
      return;
    }
    int level = 0;
    while (depth_ > 0 && levels_[depth_ - 1] == level) {
      UnionIntoStack(&region);
      ++level;
    }
    if (depth_ == kMaxLevels) {
      ok_ = false;
      return;
    }
    stack_[depth_].Reset(region.Release());
    levels_[depth_++] = level;
  }

  Block block_;
  RECT bounds_;
  ScopedRegion stack_[kMaxLevels];  // released slots hold null
  int levels_[kMaxLevels];
  int depth_ = 0;
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

// Turns rows of pixels, top to bottom, into the region of their non-white pixels:
// runs of each row become rectangles, and a row with the same runs as the row
// above extends its rectangles downwards, so an outline needs few rectangles.
class RowRegion {
 public:
  RowRegion(int width, int height)
      : width_(width), builder_(width, height), runs_(new (std::nothrow) int[4 * (width + 1)]) {
    current_ = runs_.get();
    previous_ = runs_ ? runs_.get() + 2 * (width + 1) : nullptr;
  }
  RowRegion(const RowRegion&) = delete;
  RowRegion& operator=(const RowRegion&) = delete;

  bool Valid() const { return runs_ && builder_.Valid(); }

  void AddRow(const DWORD* row) {
    if (!Valid()) return;
    int count = RowRuns(row, width_, current_);
    bool same = count == previousCount_ && count > 0;
    for (int i = 0; same && i < 2 * count; ++i) same = current_[i] == previous_[i];
    if (same) {
      for (int i = 0; i < count; ++i) builder_.Rects()[firstOpen_ + i].bottom = y_ + 1;
    } else {
      // Only a row whose rectangles share one block can be extended later.
      bool extendable = builder_.Reserve(count);
      firstOpen_ = builder_.Count();
      for (int i = 0; i < count; ++i) builder_.Add(current_[2 * i], y_, current_[2 * i + 1], y_ + 1);
      int* swap = previous_;
      previous_ = current_;
      current_ = swap;
      previousCount_ = extendable ? count : -1;
    }
    ++y_;
  }

  HRGN Finish() { return Valid() ? builder_.Finish() : nullptr; }

 private:
  int width_;
  RegionBuilder builder_;
  std::unique_ptr<int[]> runs_;  // two rows of runs: current_ and previous_
  int* current_;
  int* previous_;
  int previousCount_ = -1;
  DWORD firstOpen_ = 0;  // index in the block of the first rectangle of the row above
  int y_ = 0;
};

}  // namespace

HRGN MakeColourKeyRegion(const DWORD* pixels, int width, int height) {
  if (width <= 0 || height <= 0) return CreateRectRgn(0, 0, 0, 0);
  RowRegion region(width, height);
  for (int y = 0; y < height; ++y) region.AddRow(pixels + (size_t)y * width);
  return region.Finish();
}

HRGN Surface::MakeColourKeyRegion() const {
  if (!Valid()) return nullptr;
  int width = Width(), height = Height();
  if (width <= 0 || height <= 0) return CreateRectRgn(0, 0, 0, 0);
  // A strip of rows at a time: a small buffer that stays warm instead of one the
  // size of the bitmap, whose fresh pages would cost more than the whole scan.
  int stripRows = kStripPixels / width > 0 ? kStripPixels / width : 1;
  if (stripRows > height) stripRows = height;
  std::unique_ptr<DWORD[]> strip(new (std::nothrow) DWORD[(size_t)stripRows * width]);
  if (!strip) return nullptr;
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = height;  // bottom-up: scan line 0 is the last row
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  // The bitmap stays selected: taking it out of the DC and back costs more than
  // the whole copy on some platforms. GdiFlush completes any batched drawing first.
  GdiFlush();
  RowRegion region(width, height);
  for (int top = 0; top < height && region.Valid(); top += stripRows) {
    int rows = height - top < stripRows ? height - top : stripRows;
    int firstScan = height - top - rows;
    if (GetDIBits(Dc(), Bitmap(), firstScan, rows, strip.get(), &bmi, DIB_RGB_COLORS) != rows) return nullptr;
    // The strip holds its rows bottom-up.
    for (int i = rows - 1; i >= 0; --i) region.AddRow(strip.get() + (size_t)i * width);
  }
  return region.Finish();
}

