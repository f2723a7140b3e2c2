// The reference host's PNG writer: its pictures are decoded by Python's zlib in the
// e2e_png_files test, a peer that shares none of its code.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/PngWriter.h"
#include "tests/common/TestKit.h"

namespace {

// Writes a picture and its pixels as r, g, b, a bytes (a = 255 for an RGB picture).
void WritePicture(const std::string& dir, const char* name, int width, int height, const std::vector<uint32_t>& pixels,
                  bool alpha) {
  SCOPED_TRACE(name);
  ASSERT_TRUE(hostkit::WritePng(dir + "\\" + name + ".png", width, height, pixels, alpha));
  std::vector<unsigned char> bytes;
  for (uint32_t p : pixels) {
    bytes.insert(bytes.end(), {(unsigned char)(p >> 16), (unsigned char)(p >> 8), (unsigned char)p});
    bytes.push_back(alpha ? (unsigned char)(p >> 24) : 255);
  }
  ASSERT_TRUE(testkit::WriteFileBytes(dir + "\\" + name + ".rgba", bytes));
}

TEST(PngWriter, WritesPicturesThatMatchTheirPixels) {
  std::string dir = testkit::ScratchDir("e2e_png");
  uint32_t seed = 12345;
  auto next = [&seed]() { return seed = seed * 1664525u + 1013904223u; };

  WritePicture(dir, "one_pixel", 1, 1, {0xFF123456u}, false);
  // Noise: nothing to match, every byte a literal.
  std::vector<uint32_t> noise(97 * 61);
  for (uint32_t& p : noise) p = next();
  WritePicture(dir, "noise_rgba", 97, 61, noise, true);
  // One colour over long rows: matches of the longest length, back to back.
  WritePicture(dir, "flat", 700, 5, std::vector<uint32_t>(700 * 5, 0xFF636394u), false);
  // Rows that repeat 30 rows (36,000 bytes) apart, beyond the matcher's window,
  // with short runs of shades inside each row.
  std::vector<uint32_t> bands(300 * 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) bands[y * 300 + x] = 0xFF000000u | (((y % 30) * 8) << 16) | ((x / 7) << 8) | (x % 3);
  WritePicture(dir, "bands", 300, 200, bands, true);
  // Mostly flat with noise sprinkled in: matches of every length and distance.
  std::vector<uint32_t> mixed(256 * 128, 0xFF00FFFFu);
  for (int i = 0; i < 3000; ++i) mixed[next() % mixed.size()] = next() | 0xFF000000u;
  WritePicture(dir, "mixed", 256, 128, mixed, false);
}

TEST(PngWriter, RefusesEmptyPictures) {
  std::string dir = testkit::ScratchDir("e2e_png_empty");
  EXPECT_FALSE(hostkit::WritePng(dir + "\\none.png", 0, 5, {}, false));
  EXPECT_FALSE(hostkit::WritePng(dir + "\\short.png", 4, 4, std::vector<uint32_t>(15), false));
}

TEST(PngWriter, CompressesSkinLikePictures) {
  std::vector<uint8_t> flat(485 * 272 * 4, 0x63);
  std::vector<uint8_t> z = hostkit::ZlibCompress(flat.data(), flat.size());
  EXPECT_EQ(z[0], 0x78);
  EXPECT_LT(z.size(), flat.size() / 50);
}

}  // namespace
