// A bitmap selected into its own memory DC for its whole life, ready to be
// copied anywhere; the skin of every window and control is made of these.
#pragma once
#include <windows.h>

#include "ui/framework/GdiHandles.h"

class Surface {
 public:
  // A screen-compatible bitmap of the given size, white with a black one-pixel frame.
  Surface(int width, int height);
  // The bitmap resource id of instance, unchanged. Valid() tells whether it loaded.
  Surface(HINSTANCE instance, int resourceId);
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  bool Valid() const { return bitmap_ && dc_.Get() != nullptr; }
  int Width() const { return info_.bmWidth; }
  int Height() const { return info_.bmHeight; }
  HDC Dc() const { return dc_.Get(); }
  HBITMAP Bitmap() const { return bitmap_.Get(); }

  // Copies the whole surface to (x, y) of target.
  void BlitWhole(HDC target, int x, int y) const;
  // Copies the source rectangle (right and bottom exclusive) to (x, y) of target.
  void BlitRect(HDC target, int x, int y, int left, int top, int right, int bottom) const;
  // Fills the whole surface with one colour.
  void FillSurface(COLORREF colour);
  // The region of every pixel that is not pure white (0xFFFFFF), in the surface's
  // coordinates. The caller owns it (or hands it to SetWindowRgn). Null on failure.
  HRGN MakeColourKeyRegion() const;

 private:
  // Both public constructors end here: owns bitmap (may be null) and selects it
  // into a fresh memory DC.
  explicit Surface(HBITMAP bitmap);

  // Declared in the order they are made; they go in reverse: the bitmap is
  // selected out, then the DC deleted, then the bitmap.
  ScopedBitmap bitmap_;
  BITMAP info_ = {};
  MemoryDC dc_;
  SelectionScope selection_;
};

// The region of the pixels that are not pure white, from 32-bit top-down pixels
// (0x00RRGGBB). Built from runs of each row, rows with equal runs merged, in a
// few region calls instead of one per pixel. The caller owns the region.
HRGN MakeColourKeyRegion(const DWORD* pixels, int width, int height);
