// The reference host's pieces on their own: script lines, JSON text, wave output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/JsonLog.h"
#include "host/ScriptRunner.h"
#include "host/WaveWriter.h"
#include "tests/common/TestKit.h"

namespace {

TEST(ScriptLine, WordsQuotesAndComments) {
  hostkit::ScriptArgs words;
  ASSERT_TRUE(hostkit::SplitScriptLine("  open 2 \"C:\\my files\\a b.wav\"  # a comment", &words));
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[2], "C:\\my files\\a b.wav");
  ASSERT_TRUE(hostkit::SplitScriptLine("\t# only a comment\r", &words));
  EXPECT_TRUE(words.empty());
  EXPECT_FALSE(hostkit::SplitScriptLine("open 1 \"unterminated", &words));
}

TEST(ScriptLine, NumbersAreDecimalOrHexAndFit32Bits) {
  long long v;
  EXPECT_TRUE(hostkit::ParseScriptNumber("4410", &v));
  EXPECT_EQ(v, 4410);
  EXPECT_TRUE(hostkit::ParseScriptNumber("0xFFFFFFFF", &v));
  EXPECT_EQ(v, 0xFFFFFFFFLL);
  EXPECT_TRUE(hostkit::ParseScriptNumber("-2147483648", &v));
  EXPECT_TRUE(hostkit::ParseScriptNumber("0", &v));
  for (const char* bad : {"", "12x", "0x100000000", "-2147483649", "017", "ten"})
    EXPECT_FALSE(hostkit::ParseScriptNumber(bad, &v)) << bad;
}

TEST(ScriptRunnerTest, CheckNamesTheFirstBadLine) {
  hostkit::ScriptRunner runner;
  hostkit::AddBasicCommands(runner);
  std::string error;
  EXPECT_TRUE(runner.Check({"# session", "", "setup 4410 65536", "policy refuse 6", "ui show", "pull 3 realtime",
                            "streamerror", "wait 10"},
                           &error))
      << error;
  EXPECT_FALSE(runner.Check({"setup 4410 65536", "pull 3 slowly"}, &error));
  EXPECT_EQ(error, "line 2: usage: pull N [realtime]");
  EXPECT_FALSE(runner.Check({"streamerror now"}, &error));
  EXPECT_EQ(error, "line 1: usage: streamerror");
  EXPECT_FALSE(runner.Check({"policy refuse"}, &error));
}

TEST(JsonText, EscapesControlsAndTurnsAnsiIntoUtf8) {
  EXPECT_EQ(hostkit::JsonString("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
  EXPECT_EQ(hostkit::JsonString("caf\xe9"), "\"caf\xc3\xa9\"");
  hostkit::JsonObject object;
  object.Add("n", -5).Add("s", "x").AddBool("b", false);
  EXPECT_EQ(object.Text(), "{\"n\":-5,\"s\":\"x\",\"b\":false}");
  testkit::JsonFields fields = testkit::ParseJsonLine(object.Text());
  EXPECT_EQ(fields["n"], "-5");
  EXPECT_EQ(fields["s"], "x");
}

TEST(WaveWriterTest, HeaderIsCompleteAfterEachFlushAndOddDataIsPadded) {
  std::string path = testkit::ScratchDir("wavewriter") + "\\out.wav";
  hostkit::WaveWriter writer;
  ASSERT_TRUE(writer.Create(path));
  EXPECT_EQ(testkit::ReadFileBytes(path).size(), 44u);
  const uint8_t bytes[5] = {1, 2, 3, 4, 5};
  ASSERT_TRUE(writer.Append(bytes, 4));
  ASSERT_TRUE(writer.Flush());
  std::vector<unsigned char> wave = testkit::ReadFileBytes(path);
  ASSERT_EQ(wave.size(), 48u);
  uint32_t riff, data;
  memcpy(&riff, &wave[4], 4);
  memcpy(&data, &wave[40], 4);
  EXPECT_EQ(riff, 40u);
  EXPECT_EQ(data, 4u);
  ASSERT_TRUE(writer.Append(bytes + 4, 1));
  ASSERT_TRUE(writer.Close());
  wave = testkit::ReadFileBytes(path);
  ASSERT_EQ(wave.size(), 50u);
  memcpy(&riff, &wave[4], 4);
  memcpy(&data, &wave[40], 4);
  EXPECT_EQ(data, 5u);
  EXPECT_EQ(riff, 42u);
  EXPECT_EQ(wave[48], 5);
  EXPECT_EQ(wave[49], 0);
  EXPECT_FALSE(writer.Append(bytes, 1));
}

}  // namespace
