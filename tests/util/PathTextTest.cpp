#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/common/TestKit.h"
#include "util/PathText.h"

namespace {

std::string Duration(uint32_t ms) {
  char text[kTextSize];
  return FormatDuration(ms, text);
}

TEST(FormatDuration, HoursMinutesSecondsWithoutRounding) {
  EXPECT_EQ(Duration(0), "00:00:00");
  EXPECT_EQ(Duration(999), "00:00:00");
  EXPECT_EQ(Duration(1000), "00:00:01");
  EXPECT_EQ(Duration(61000), "00:01:01");
  EXPECT_EQ(Duration(3599999), "00:59:59");
  EXPECT_EQ(Duration(36000000), "10:00:00");
  EXPECT_EQ(Duration(360000000), "100:00:00");
  EXPECT_EQ(Duration(0xFFFFFFFFu), "1193:02:47");
  char small[6];
  EXPECT_STREQ(FormatDuration(61000, small, sizeof small), "00:01");
}

TEST(PathParts, FileNameAndDirectory) {
  char out[kTextSize];
  EXPECT_STREQ(FileNameOfPath("C:\\Music\\take.wav", out), "take.wav");
  EXPECT_STREQ(FileNameOfPath("take.wav", out), "take.wav");
  EXPECT_STREQ(FileNameOfPath("C:\\Music\\", out), "");
  EXPECT_STREQ(FileNameOfPath("C:/Music/take.wav", out), "C:/Music/take.wav");
  DirectoryOfPath("C:\\Music\\take.wav", out);
  EXPECT_STREQ(out, "C:\\Music");
  DirectoryOfPath("take.wav", out);
  EXPECT_STREQ(out, "");
  DirectoryOfPath("\\take.wav", out);
  EXPECT_STREQ(out, "");
  DirectoryOfPath("C:\\a\\b\\", out);
  EXPECT_STREQ(out, "C:\\a\\b");
}

TEST(FileExists, FindsFilesAndTheirTimes) {
  std::string dir = testkit::ScratchDir("pathtext_exists");
  std::string file = dir + "\\present.wav";
  ASSERT_TRUE(testkit::WriteFileBytes(file, {1, 2, 3}));
  WIN32_FIND_DATAA found;
  memset(&found, 0, sizeof found);
  EXPECT_TRUE(FileExists(file.c_str(), &found));
  EXPECT_STREQ(found.cFileName, "present.wav");
  EXPECT_EQ(found.nFileSizeLow, 3u);
  EXPECT_NE(found.ftLastWriteTime.dwLowDateTime | found.ftLastWriteTime.dwHighDateTime, 0u);
  EXPECT_TRUE(FileExists(file.c_str()));
  EXPECT_FALSE(FileExists((dir + "\\absent.wav").c_str()));
  // A pattern is not a file.
  EXPECT_FALSE(FileExists((dir + "\\*.wav").c_str()));
  EXPECT_FALSE(FileExists(""));
}

}  // namespace
