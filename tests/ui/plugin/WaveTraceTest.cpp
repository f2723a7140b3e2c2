// The waveform picture: columns taken from the file's frames, drawn in their halves,
// and the cache file beside the wave file (the silent picture is checked in the window).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/common/TestKit.h"
#include "ui/framework/Surface.h"
#include "ui/plugin/WaveTrace.h"
#include "wavedata/WaveFile.h"

using testkit::CachePathOf;
using testkit::DataPath;
using testkit::SetWriteTime;
using testkit::WriteTime;

namespace {

const COLORREF kCyan = RGB(0, 255, 255);

// Opens and parses a wave file; the test fails when it cannot.
struct OpenWave {
  explicit OpenWave(const std::string& path) {
    EXPECT_EQ(file.Open(path.c_str(), 0), 0) << path;
    EXPECT_EQ(file.ReadHeader(), 0) << path;
  }
  ~OpenWave() { file.Close(); }
  WaveFile file;
};

// Copies a fixture into a scratch folder so that its cache file starts absent.
std::string Fresh(const std::string& name, const std::string& scratch) {
  std::string dir = testkit::ScratchDir(scratch);
  std::string path = dir + "\\" + name;
  EXPECT_TRUE(CopyFileA(DataPath("waveform\\" + name).c_str(), path.c_str(), FALSE));
  return path;
}

void CountProgress(int, void* context) { ++*static_cast<int*>(context); }

std::vector<int16_t> ColumnsOf(const WaveTrace& trace) {
  return std::vector<int16_t>(trace.Columns(), trace.Columns() + trace.TableSize() / 2);
}

// 16-bit samples are scaled in the picture tests below; 8-bit ones have their own centre.
TEST(ColumnValue, EightBitSamplesScaleAroundTheirCentre) {
  WAVEFORMATEX f8 = {WAVE_FORMAT_PCM, 1, 44100, 44100, 1, 8, 0};
  uint8_t b = 128;
  EXPECT_EQ(WaveTrace::ColumnValue(&b, f8, 0, 13), 0);
  b = 255;
  EXPECT_EQ(WaveTrace::ColumnValue(&b, f8, 0, 13), 12);
  b = 0;
  EXPECT_EQ(WaveTrace::ColumnValue(&b, f8, 0, 13), -13);
}

TEST(Picture, StereoChannelsGoToTheirOwnHalvesInRedAndBlue) {
  OpenWave wave(Fresh("stereo_const.wav", "trace_stereo"));
  WaveTrace trace(315, 52, WaveTrace::kBars, false);
  ASSERT_EQ(trace.BuildWaveImage(&wave.file, nullptr, nullptr), 0);
  EXPECT_EQ(trace.Amplitude(), 13);
  EXPECT_EQ(trace.Columns()[0], 6);   // 16384 * 13 / 32768
  EXPECT_EQ(trace.Columns()[1], -6);  // toward zero, not -7
  trace.DrawTrace(nullptr);
  HDC dc = trace.GetSurface()->Dc();
  // Bars run from m + v up to (not including) m - v.
  EXPECT_EQ(GetPixel(dc, 100, 13 + 6), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 100, 13 - 5), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 100, 13 + 8), kCyan);
  EXPECT_EQ(GetPixel(dc, 100, 39 - 6), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 100, 39 + 5), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 100, 39 - 8), kCyan);
}

TEST(Picture, EachColumnShowsItsOwnFrameAndTheFileReturnsToItsData) {
  OpenWave wave(Fresh("picked.wav", "trace_picked"));
  WaveTrace trace(315, 26, WaveTrace::kBars, false);
  int calls = 0;
  ASSERT_EQ(trace.BuildWaveImage(&wave.file, CountProgress, &calls), 0);
  for (int x = 0; x < 315; ++x) ASSERT_EQ(trace.Columns()[x * 2], 12) << "column " << x;
  EXPECT_EQ(calls, 99);  // percents 1 to 99, each once
  EXPECT_EQ((uint32_t)wave.file.Tell(), wave.file.DataStart());
}

TEST(Picture, ShortFileNeverShowsBytesAfterItsData) {
  OpenWave wave(Fresh("short_trailer.wav", "trace_short"));
  WaveTrace trace(315, 26, WaveTrace::kBars, false);
  ASSERT_EQ(trace.BuildWaveImage(&wave.file, nullptr, nullptr), 0);
  for (int x = 0; x < 315; ++x) ASSERT_EQ(trace.Columns()[x * 2], 0) << "column " << x;
}

TEST(Cache, SecondLoadTakesTheCacheUntilTheWaveFileIsTouched) {
  std::string wav = Fresh("picked.wav", "cache_fresh");
  std::vector<int16_t> computed;
  {
    OpenWave wave(wav);
    WaveTrace trace(315, 26, WaveTrace::kBars, true);
    ASSERT_EQ(trace.BuildWaveImage(&wave.file, nullptr, nullptr), 0);
    computed = ColumnsOf(trace);
  }
  auto cacheBytes = testkit::ReadFileBytes(CachePathOf(wav));
  ASSERT_EQ(cacheBytes.size(), 12u + 1260u + sizeof(ImageCacheKey));
  EXPECT_EQ(std::string(cacheBytes.begin(), cacheBytes.begin() + 4), "OWI ");

  // Same time stamp as the wave file: taken, no progress at all.
  EXPECT_TRUE(SetWriteTime(CachePathOf(wav), WriteTime(wav)));
  {
    OpenWave wave(wav);
    WaveTrace trace(315, 26, WaveTrace::kBars, true);
    int calls = 0;
    ASSERT_EQ(trace.BuildWaveImage(&wave.file, CountProgress, &calls), 0);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ColumnsOf(trace), computed);
  }
  // The wave file is newer: computed again.
  EXPECT_TRUE(SetWriteTime(wav, testkit::Later(WriteTime(CachePathOf(wav)), 60)));
  {
    OpenWave wave(wav);
    WaveTrace trace(315, 26, WaveTrace::kBars, true);
    int calls = 0;
    ASSERT_EQ(trace.BuildWaveImage(&wave.file, CountProgress, &calls), 0);
    EXPECT_GT(calls, 0);
  }
}

TEST(Cache, EveryWaveFileHasItsOwnCacheBesideIt) {
  // A dot in a folder name is not the file's; files without an extension get ".owi".
  std::string dir = testkit::ScratchDir("cache_names") + "\\Samples.old";
  CreateDirectoryA(dir.c_str(), nullptr);
  const struct {
    const char* source;
    const char* name;
    int16_t column;
  } files[] = {{"picked.wav", "kick", 12}, {"silence.wav", "snare", 0}, {"picked.wav", "take.1.wav", 12}};
  for (int round = 0; round < 2; ++round) {  // computed, then taken from each file's own cache
    for (const auto& f : files) {
      std::string path = dir + "\\" + f.name;
      if (round == 0) {
        ASSERT_TRUE(CopyFileA(DataPath(std::string("waveform\\") + f.source).c_str(), path.c_str(), FALSE));
      }
      OpenWave wave(path);
      WaveTrace trace(315, 26, WaveTrace::kBars, true);
      ASSERT_EQ(trace.BuildWaveImage(&wave.file, nullptr, nullptr), 0);
      EXPECT_EQ(trace.Columns()[0], f.column) << f.name << " round " << round;
    }
  }
  EXPECT_EQ(GetFileAttributesA((dir.substr(0, dir.size() - 4) + ".owi").c_str()), INVALID_FILE_ATTRIBUTES);
  // A cache name that would not fit is not made: the picture is computed every time.
  std::string longPath = dir + "\\" + std::string(258 - dir.size() - 1, 'n');
  ASSERT_EQ(longPath.size(), 258u);
  ASSERT_TRUE(CopyFileA(DataPath("waveform\\picked.wav").c_str(), longPath.c_str(), FALSE));
  OpenWave wave(longPath);
  WaveTrace trace(315, 26, WaveTrace::kBars, true);
  EXPECT_EQ(trace.BuildWaveImage(&wave.file, nullptr, nullptr), 0);
  EXPECT_EQ(trace.Columns()[0], 12);
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    if (found.cFileName[0] != '.') names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {"kick", "kick.owi", longPath.substr(dir.size() + 1), "snare", "snare.owi",
                                       "take.1.owi", "take.1.wav"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

TEST(Cache, MismatchingOrCutShortCacheIsIgnoredAndRewritten) {
  std::string wav = Fresh("picked.wav", "cache_bad");
  std::string owi = CachePathOf(wav);
  struct Case {
    const char* what;
    std::vector<unsigned char> bytes;
    int code;
  };
  std::vector<unsigned char> narrow = {'O', 'W', 'I', ' ', 100, 0, 26, 0, 1, 0, 0, 0};
  narrow.resize(12 + 400);
  std::vector<unsigned char> cut = {'O', 'W', 'I', ' ', 0x3B, 1, 26, 0, 1, 0, 0, 0};
  cut.resize(12 + 600);
  std::vector<unsigned char> badId = {'R', 'I', 'F', 'F', 0x3B, 1, 26, 0, 1, 0, 0, 0};
  badId.resize(12 + 1260);
  std::vector<unsigned char> stereo = {'O', 'W', 'I', ' ', 0x3B, 1, 52, 0, 2, 0, 0, 0};
  stereo.resize(12 + 1260);
  std::vector<unsigned char> headerOnly = {'O', 'W', 'I', ' ', 0x3B};
  // A whole table without the key of the file it was drawn from, as earlier versions wrote it.
  std::vector<unsigned char> unkeyed = {'O', 'W', 'I', ' ', 0x3B, 1, 26, 0, 1, 0, 0, 0};
  unkeyed.resize(12 + 1260, 0x7F);
  for (const Case& c : {Case{"width 100", narrow, 201}, Case{"cut short", cut, 9}, Case{"identifier", badId, 201},
                        Case{"stereo height", stereo, 201}, Case{"header cut", headerOnly, 4},
                        Case{"no key", unkeyed, 201}}) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(testkit::WriteFileBytes(owi, c.bytes));
    EXPECT_TRUE(SetWriteTime(owi, WriteTime(wav)));
    WaveTrace probe(315, 26, WaveTrace::kBars, false);
    EXPECT_EQ(probe.ReadImageCache(owi.c_str()), c.code);

    OpenWave wave(wav);
    WaveTrace trace(315, 26, WaveTrace::kBars, true);
    int calls = 0;
    ASSERT_EQ(trace.BuildWaveImage(&wave.file, CountProgress, &calls), 0);
    EXPECT_GT(calls, 0);
    for (int x = 0; x < 315; ++x) ASSERT_EQ(trace.Columns()[x * 2], 12);
    EXPECT_EQ(testkit::ReadFileBytes(owi).size(), 12u + 1260u + sizeof(ImageCacheKey));
  }
}

TEST(Cache, MonoAndStereoPicturesReadBackExactly) {
  for (int height : {26, 52}) {
    std::string owi = testkit::ScratchDir("cache_roundtrip") + "\\t.owi";
    WaveTrace written(315, height, WaveTrace::kBars, true);
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, (WORD)(height / 26), 44100, 0, (WORD)(2 * height / 26), 16, 0};
    written.SetFormat(format);
    std::vector<unsigned char> samples(315 * format.nBlockAlign);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = (unsigned char)(i * 37);
    written.FeedSamples(samples.data(), (uint32_t)samples.size());
    ASSERT_EQ(written.WriteImageCache(owi.c_str()), 0);

    WaveTrace read(315, height, WaveTrace::kBars, false);
    ASSERT_EQ(read.ReadImageCache(owi.c_str()), 0);
    EXPECT_EQ(ColumnsOf(read), ColumnsOf(written));
    EXPECT_EQ(read.Format().nChannels, format.nChannels);
  }
}

TEST(FeedSamples, ColumnsTakeEveryStepthFrameAndBadFormatsDoNothing) {
  WaveTrace trace(315, 26, WaveTrace::kLine, false);
  WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
  trace.SetFormat(format);
  std::vector<int16_t> block(315 * 3);
  for (int x = 0; x < 315; ++x) block[x * 3] = (int16_t)(x % 2 ? 32767 : -32768);
  trace.FeedSamples(block.data(), (uint32_t)(block.size() * 2));
  for (int x = 0; x < 315; ++x) ASSERT_EQ(trace.Columns()[x * 2], x % 2 ? 12 : -13);

  format.nBlockAlign = 0;
  trace.SetFormat(format);
  trace.FeedSamples(block.data(), 10);  // must not divide by zero
  trace.FeedSamples(block.data(), 1);
  trace.DrawTrace(nullptr);
}

}  // namespace
