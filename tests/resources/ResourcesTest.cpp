// The plug-in's resources as the windows use them: the masks' outlines around every
// control, and the help page beside the plug-in. Skin images, texts and dialogs are
// checked where they show (the window tests compare screenshots with the skin).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

#include "resources/resource_ids.h"
#include "resources/window_layout.h"
#include "tests/common/TestKit.h"

namespace {

class Resources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = LoadLibraryExA(testkit::BinPath("sondrel.oin").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  static void TearDownTestSuite() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }
  void SetUp() override { ASSERT_NE(module_, nullptr) << "sondrel.oin does not load"; }

  // The stored DIB of a bitmap resource: header, colour table and bits.
  static const BITMAPINFOHEADER* Dib(int id) {
    HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), RT_BITMAP);
    HGLOBAL loaded = found ? LoadResource(module_, found) : nullptr;
    return loaded ? static_cast<const BITMAPINFOHEADER*>(LockResource(loaded)) : nullptr;
  }

  static HMODULE module_;
};
HMODULE Resources::module_ = nullptr;

// True when the 1-bit mask's pixel is white (outside the window).
bool Outside(const BITMAPINFOHEADER* dib, int x, int y) {
  const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(dib + 1);
  const BYTE* bits = reinterpret_cast<const BYTE*>(palette + 2);
  int stride = (dib->biWidth + 31) / 32 * 4;
  int index = (bits[(dib->biHeight - 1 - y) * stride + x / 8] >> (7 - x % 8)) & 1;
  const RGBQUAD& c = palette[index];
  return c.rgbRed == 255 && c.rgbGreen == 255 && c.rgbBlue == 255;
}

void ExpectInside(const BITMAPINFOHEADER* dib, const LayoutRect& r) {
  for (int y = r.top; y < BottomOf(r); ++y)
    for (int x = r.left; x < RightOf(r); ++x)
      if (Outside(dib, x, y)) {
        ADD_FAILURE() << "pixel " << x << "," << y << " of control " << r.left << "," << r.top
                      << " lies outside the window";
        return;
      }
}

TEST_F(Resources, MasksCutTheCornersAndKeepEveryControl) {
  const BITMAPINFOHEADER* main = Dib(IDB_MAIN_MASK);
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(Outside(main, 0, 0));
  EXPECT_TRUE(Outside(main, kMainWidth - 1, kMainHeight - 1));
  EXPECT_FALSE(Outside(main, kMainWidth / 2, 0));
  for (int c = 0; c < 4; ++c) {
    for (const LayoutRect& place : {kStripOpen, kStripClose, kStripPlay, kStripPause, kStripView, kStripName,
                                    kStripLoop, kStripLed, kStripProps})
      ExpectInside(main, InRow(place, c));
    ExpectInside(main, SyncOf(c));
  }
  ExpectInside(main, kPreRecorderToggle);

  const BITMAPINFOHEADER* pre = Dib(IDB_PRERECORDER_MASK);
  ASSERT_NE(pre, nullptr);
  EXPECT_TRUE(Outside(pre, 0, 0));
  for (const LayoutRect& place : {kRecorderTrace, kRecorderStart, kRecorderStop, kRecorderLed, kRecorderOutput})
    ExpectInside(pre, place);
}

TEST(HelpPage, IsInstalledBesideThePlugin) {
  std::vector<unsigned char> installed = testkit::ReadFileBytes(testkit::BinPath("sondrel.html"));
  const char* source = getenv("SONDREL_SOURCE");
  ASSERT_NE(source, nullptr);
  ASSERT_FALSE(installed.empty());
  EXPECT_TRUE(installed == testkit::ReadFileBytes(testkit::WinPath(std::string(source) + "/resources/sondrel.html")))
      << "the page beside the plug-in is not the current one";
}

}  // namespace
