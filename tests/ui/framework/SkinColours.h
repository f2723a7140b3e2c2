// The test skin made by make_skin.py: resource ids and the colours of its frames.
#pragma once
#include <cstdint>

enum TestSkin : int {
  kFramesBitmap = 201,      // 40 x 80: four push-button frames of 20 rows
  kToggleBitmap = 202,      // 30 x 160: eight toggle frames of 20 rows
  kBackgroundBitmap = 203,  // 200 x 150, one colour
  kMaskBitmap = 204,        // 200 x 150 outline with cut corners and a hole
  kGlyphBitmap = 205,       // 6 x 472: cells of 8 rows for the characters 32..90
  kOnBitmap = 206,          // 16 x 12
  kOffBitmap = 207,         // 16 x 12
  kPlainDialog = 300,       // OK and Cancel
};

constexpr uint32_t kPushFrames[4] = {0xC80000, 0x808080, 0xC8C800, 0x0000C8};
constexpr uint32_t kToggleFrames[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                                       0xFF00FF, 0x00FFFF, 0x800000, 0x008000};
constexpr uint32_t kBackground = 0x336699;
constexpr uint32_t kOnImage = 0x00C864;
constexpr uint32_t kOffImage = 0x643200;
