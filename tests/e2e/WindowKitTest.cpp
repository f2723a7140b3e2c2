// The reference host's window-side pieces: the PNG writer (its pictures are decoded by
// Python's zlib in the e2e_png_files test), the layout it clicks by, and the
// checking of session scripts before anything runs.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/HostSession.h"
#include "host/MainWindowLayout.h"
#include "host/PngWriter.h"
#include "host/ScriptRunner.h"
#include "tests/common/TestKit.h"

namespace {

using hostkit::ScriptRunner;

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

TEST(MainWindowLayout, ControlsFollowTheirChannelsRows) {
  RECT rect;
  ASSERT_TRUE(hostkit::FindControlRect("props", 4, &rect));
  EXPECT_EQ(rect.left, 80);
  EXPECT_EQ(rect.top, 62 + 3 * 57);
  EXPECT_EQ(rect.right - rect.left, 30);
  ASSERT_TRUE(hostkit::FindControlRect("sync", 3, &rect));
  EXPECT_EQ(rect.top, 66 + 2 * 14);  // the sync switches have their own column
  ASSERT_TRUE(hostkit::FindControlRect("prerec", 0, &rect));
  EXPECT_EQ(rect.left, 428);
  EXPECT_FALSE(hostkit::FindControlRect("play", 5, &rect));
  EXPECT_FALSE(hostkit::FindControlRect("volume", 1, &rect));
  EXPECT_FALSE(hostkit::IsStripControl("prerec"));
  EXPECT_TRUE(hostkit::IsStripControl("loop"));
  for (const hostkit::ControlPlace& place : hostkit::kClickable) {
    for (int c = 1; c <= 4; ++c) {
      ASSERT_TRUE(hostkit::FindControlRect(place.name, c, &rect));
      EXPECT_FALSE(PtInRect(&rect, hostkit::kRestPoint)) << place.name << " " << c;
    }
  }
}

// Checks a whole script; returns the error, empty when it is accepted.
std::string CheckScript(const std::vector<std::string>& lines) {
  ScriptRunner runner;
  hostkit::AddBasicCommands(runner);
  hostkit::AddWindowCommands(runner);
  hostkit::AddPreRecorderCommands(runner);
  std::string error;
  return runner.Check(lines, &error) ? std::string() : error;
}

TEST(SessionScript, AcceptsEveryWindowCommand) {
  EXPECT_EQ(CheckScript({"setup 4410 65536", "ui create", "open 1 \"a file.wav\"  # comment", "click play 1",
                         "click props 4", "click prerec", "sysclose", "screenshot shots/one.png", "", "# only a note",
                         "feed sequence 2", "feed take.wav", "feed stop", "click record", "click stoprec",
                         "prerec config 0 stereo apply", "prerec browse \"a take.wav\"", "screenshot prerec p.png"}),
            "");
}

TEST(SessionScript, NamesTheFirstBadLine) {
  EXPECT_EQ(CheckScript({"ui create", "open 5 a.wav"}), "line 2: \"5\" is not a channel from 1 to 4");
  EXPECT_EQ(CheckScript({"click play"}), "line 1: usage: click play C");
  EXPECT_EQ(CheckScript({"click prerec 1"}), "line 1: usage: click prerec");
  EXPECT_EQ(CheckScript({"click volume 1"}),
            "line 1: usage: click open|close|play|pause|loop|sync|props C | click prerec|record|stoprec");
  EXPECT_EQ(CheckScript({"open 1"}), "line 1: usage: open C PATH");
  EXPECT_EQ(CheckScript({"screenshot"}), "line 1: usage: screenshot [prerec] FILE.png");
  EXPECT_EQ(CheckScript({"prerec config 0 quad apply"}), "line 1: usage: prerec config DEVICE mono|stereo apply|close");
  EXPECT_EQ(CheckScript({"feed sequence 3"}), "line 1: usage: feed sequence [1|2] | feed silence | feed FILE.wav | feed stop");
  EXPECT_EQ(CheckScript({"sysclose now"}), "line 1: usage: sysclose");
}

TEST(SessionPaths, FilesToOpenAreFoundBesideTheScript) {
  hostkit::HostSession session;
  session.SetScriptFolder("C:\\sessions");
  EXPECT_EQ(session.InputPath("samples\\a.wav"), "C:\\sessions\\samples\\a.wav");
  EXPECT_EQ(session.InputPath("..\\a.wav"), "C:\\a.wav");
  EXPECT_EQ(session.InputPath("D:\\x\\a.wav"), "D:\\x\\a.wav");
  EXPECT_EQ(hostkit::FolderOf("C:\\sessions\\demo.session"), "C:\\sessions");
  EXPECT_EQ(hostkit::FolderOf("demo.session"), ".");
}

}  // namespace
