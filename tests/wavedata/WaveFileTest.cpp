#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/common/ErrorRecorder.h"
#include "tests/common/TestKit.h"
#include "wavedata/WaveFile.h"

namespace {

using testkit::DataPath;
using testkit::ReadFileBytes;

std::string Wave(const std::string& name) { return DataPath("wavedata\\" + name); }

uint32_t Le32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// Reads the whole data chunk through the file object in blocks of blockSize bytes.
std::vector<unsigned char> ReadData(WaveFile& file, uint32_t blockSize) {
  std::vector<unsigned char> data;
  std::vector<unsigned char> block(blockSize);
  EXPECT_EQ(file.Seek(static_cast<int32_t>(file.DataStart()), MultimediaFile::kFromStart), 0);
  uint32_t got = 0;
  while (file.Read(block.data(), blockSize, &got) == 0 && got > 0) data.insert(data.end(), block.begin(), block.begin() + got);
  return data;
}

struct GoodFile {
  const char* name;
  uint16_t channels;
  uint32_t rate;
  uint16_t bits;
  uint32_t dataStart;
  const char* skipped;
};

TEST(WaveFileRead, FilesFromSoxAndPythonParseExactly) {
  const GoodFile files[] = {
      {"mono16.wav", 1, 44100, 16, 44, ""},
      {"stereo16.wav", 2, 44100, 16, 44, ""},
      {"mono8.wav", 1, 44100, 8, 44, ""},
      {"rate22050.wav", 1, 22050, 16, 44, ""},
      {"rate44095.wav", 1, 44095, 16, 44, ""},
      {"pywave.wav", 2, 44100, 16, 44, ""},
      {"listfact.wav", 1, 44100, 16, 36 + 8 + 26 + 8 + 4 + 8, "'LIST';'fact';"},
      {"fmt18.wav", 1, 44100, 16, 46, ""},
      {"oddchunk.wav", 1, 44100, 16, 36 + 8 + 3 + 1 + 8, "'junk';"},
      // The format chunk found after other chunks, and the extensible form of 16-bit PCM.
      {"fmtnotfirst.wav", 1, 44100, 16, 12 + 34 + 24 + 8, "'LIST';"},
      {"bwf.wav", 1, 44100, 16, 12 + 610 + 36 + 24 + 8, "'bext';'JUNK';"},
      {"ext16.wav", 2, 44100, 16, 12 + 48 + 8, ""},
  };
  for (const GoodFile& f : files) {
    SCOPED_TRACE(f.name);
    std::vector<unsigned char> bytes = ReadFileBytes(Wave(f.name));
    ASSERT_GT(bytes.size(), 44u);
    WaveFile file;
    ASSERT_EQ(file.Open(Wave(f.name).c_str(), MultimediaFile::kModeRead), 0);
    ASSERT_EQ(file.ReadHeader(), 0);
    EXPECT_EQ(file.DataStart(), f.dataStart);
    EXPECT_STREQ(file.SkippedChunks(), f.skipped);
    uint32_t dataSize = Le32(bytes, f.dataStart - 4);
    EXPECT_EQ(file.DataSize(), dataSize);
    EXPECT_EQ(bytes.size(), f.dataStart + dataSize);

    WAVEFORMATEX format;
    memset(&format, 0xCD, sizeof format);
    file.GetFormat(&format);
    EXPECT_EQ(format.wFormatTag, 1);
    EXPECT_EQ(format.nChannels, f.channels);
    EXPECT_EQ(format.nSamplesPerSec, f.rate);
    EXPECT_EQ(format.wBitsPerSample, f.bits);
    EXPECT_EQ(format.nBlockAlign, f.channels * f.bits / 8);
    EXPECT_EQ(format.nAvgBytesPerSec, format.nBlockAlign * f.rate);
    EXPECT_EQ(format.cbSize, 0);
    EXPECT_EQ(file.GetFrameCount(), dataSize / format.nBlockAlign);
    EXPECT_EQ(file.GetLengthMs(), dataSize / (format.nAvgBytesPerSec / 1000));

    // The samples come out as they are on disk, through the platform's I/O buffer.
    ASSERT_EQ(file.SetBuffer(4096), 0);
    std::vector<unsigned char> data = ReadData(file, 1000);
    EXPECT_TRUE(data == std::vector<unsigned char>(bytes.begin() + f.dataStart, bytes.end()));
    EXPECT_EQ(file.Close(), 0);
  }
}

TEST(WaveFileRead, RefusedFilesEndInTheirCodeAndStayOpen) {
  const struct {
    const char* name;
    int code;
  } files[] = {
      {"otherform.wav", 8},    // RIFF of form type "AVI "
      {"emptydata.wav", 9},    // no frames
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    WaveFile file;
    file.SetQuiet(true);
    ASSERT_EQ(file.Open(Wave(f.name).c_str(), 0), 0);
    EXPECT_EQ(file.ReadHeader(), f.code);
    EXPECT_EQ(file.LastError(), f.code);
    EXPECT_EQ(file.DataStart(), 0u);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Close(), 0);
    EXPECT_FALSE(file.IsOpen());
  }
}

TEST(WaveFileErrors, ReportedUnderTheFileNameWhileOpen) {
  testkit::ErrorRecorder errors;
  WaveFile file;
  ASSERT_EQ(file.Open(Wave("otherform.wav").c_str(), 0), 0);
  EXPECT_EQ(file.ReadHeader(), 8);
  ASSERT_EQ(errors.codes.size(), 1u);
  EXPECT_EQ(errors.codes[0], 8);
  EXPECT_EQ(errors.texts[0], "otherform.wav");
  file.Close();
  char name[32];
  EXPECT_EQ(file.GetTypeName(name, sizeof name), kMultimediaFile);
  EXPECT_STREQ(name, "Multimedia File");
  // Closed: code 3, under the type name.
  EXPECT_EQ(file.ReadHeader(), 3);
  ASSERT_EQ(errors.codes.size(), 2u);
  EXPECT_EQ(errors.texts[1], "Multimedia File");
  // Quiet: recorded only.
  file.SetQuiet(true);
  EXPECT_EQ(file.Open(Wave("missing.wav").c_str(), 0), 1);
  EXPECT_EQ(errors.codes.size(), 2u);
}

TEST(WaveFileErrors, OperationsOnAClosedFile) {
  WaveFile file;
  file.SetQuiet(true);
  unsigned char buffer[16];
  uint32_t count = 99;
  EXPECT_EQ(file.Read(buffer, sizeof buffer, &count), 3);
  EXPECT_EQ(count, 0u);
  count = 99;
  EXPECT_EQ(file.Write(buffer, sizeof buffer, &count), 3);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(file.Seek(0, 0), 3);
  EXPECT_EQ(file.Tell(), -1);
  EXPECT_EQ(file.LastError(), 3);
  EXPECT_EQ(file.WriteHeader(), 3);
  EXPECT_EQ(file.SetBuffer(4096), 7);
  EXPECT_EQ(file.Close(), 0);
}

TEST(WaveFileOpen, HoldsEveryPathThePlatformAccepts) {
  std::string dir = testkit::ScratchDir("wavedata_longpath");
  // A path of 259 characters, the longest the platform takes.
  std::string path = dir + "\\";
  path += std::string(259 - path.size() - 4, 'n') + ".wav";
  ASSERT_EQ(path.size(), 259u);
  ASSERT_TRUE(CopyFileA(Wave("mono16.wav").c_str(), path.c_str(), FALSE));
  WaveFile file;
  ASSERT_EQ(file.Open(path.c_str(), 0), 0);
  EXPECT_EQ(std::string(file.Name()), path);
  EXPECT_EQ(file.ReadHeader(), 0);
  // Errors are reported with the name in a 128-byte buffer: the file name, cut to fit.
  char name[128];
  file.GetTypeName(name, sizeof name);
  EXPECT_EQ(std::string(name), path.substr(dir.size() + 1, 127));
  char whole[260];
  file.GetTypeName(whole, sizeof whole);
  EXPECT_EQ(std::string(whole), path.substr(dir.size() + 1));
  // A short buffer gets a cut, terminated name.
  char shortName[8];
  file.GetTypeName(shortName, sizeof shortName);
  EXPECT_STREQ(shortName, "nnnnnnn");
  EXPECT_EQ(file.Close(), 0);
  EXPECT_STREQ(file.Name(), "");

  file.SetQuiet(true);
  std::string tooLong = path + "x";
  EXPECT_EQ(file.Open(tooLong.c_str(), 0), 105);
  EXPECT_FALSE(file.IsOpen());
}

TEST(WaveFileOpen, OpenOnAnOpenFileClosesItFirst) {
  WaveFile file;
  ASSERT_EQ(file.Open(Wave("mono16.wav").c_str(), 0), 0);
  ASSERT_EQ(file.Open(Wave("stereo16.wav").c_str(), 0), 0);
  EXPECT_EQ(std::string(file.Name()), Wave("stereo16.wav"));
  ASSERT_EQ(file.ReadHeader(), 0);
  EXPECT_EQ(file.Header().channels, 2);
  // A header keeps its values after Close.
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(file.Header().channels, 2);
  EXPECT_EQ(file.DataStart(), 44u);
}

TEST(WaveFileOpen, DeletingAnOpenFileReleasesIt) {
  std::string path = testkit::ScratchDir("wavedata_release") + "\\held.wav";
  ASSERT_TRUE(CopyFileA(Wave("mono16.wav").c_str(), path.c_str(), FALSE));
  WaveFile* file = new WaveFile;
  ASSERT_EQ(file->Open(path.c_str(), MultimediaFile::kModeCreate), 0);
  delete file;
  // The handle is gone: the file can be opened exclusively and removed.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  EXPECT_TRUE(DeleteFileA(path.c_str()));
}

// Writes a file the way the recorder does; the samples are kept beside it as raw
// bytes so that the sox read-back test (check_written.sh) can compare them with
// what sox reads, format and frame count included.
void WriteTake(const std::string& dir, const char* name, uint32_t rate, uint16_t channels, uint16_t bits,
               uint32_t frames) {
  SCOPED_TRACE(name);
  std::vector<unsigned char> samples(frames * channels * (bits / 8));
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<unsigned char>((i * 37 + i / 7) & 0xFF);
  std::string path = dir + "\\" + name + ".wav";
  WaveFile file;
  ASSERT_EQ(file.Open(path.c_str(), MultimediaFile::kModeCreate), 0);
  ASSERT_EQ(file.SetBuffer(8192), 0);
  file.BuildHeader(0, rate, channels, bits);
  ASSERT_EQ(file.WriteHeader(), 0);
  EXPECT_EQ(file.DataStart(), 44u);
  // Written in uneven pieces, as device buffers come.
  uint32_t done = 0, written = 0;
  for (uint32_t piece = 1; done < samples.size(); piece = piece * 3 + 1) {
    uint32_t n = std::min<uint32_t>(piece, static_cast<uint32_t>(samples.size()) - done);
    ASSERT_EQ(file.Write(samples.data() + done, n, &written), 0);
    ASSERT_EQ(written, n);
    done += n;
  }
  ASSERT_EQ(file.Finish(done), 0);
  ASSERT_EQ(file.Close(), 0);
  ASSERT_TRUE(testkit::WriteFileBytes(dir + "\\" + name + ".raw", samples));

  std::vector<unsigned char> bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 44 + samples.size());
  EXPECT_EQ(memcmp(bytes.data(), "RIFF", 4), 0);
  EXPECT_EQ(Le32(bytes, 4), samples.size() + 36);
  EXPECT_EQ(memcmp(bytes.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(Le32(bytes, 16), 16u);
  EXPECT_EQ(memcmp(bytes.data() + 36, "data", 4), 0);
  EXPECT_EQ(Le32(bytes, 40), samples.size());
  EXPECT_TRUE(std::vector<unsigned char>(bytes.begin() + 44, bytes.end()) == samples);
}

TEST(WaveFileWrite, TakesAreCanonicalAndReadBack) {
  std::string dir = testkit::ScratchDir("wavedata_written");
  WriteTake(dir, "take_stereo16", 44100, 2, 16, 22050);
  WriteTake(dir, "take_mono16", 44100, 1, 16, 44101);
  WriteTake(dir, "take_mono8", 22050, 1, 8, 1000);  // 1000 data bytes: a 1044-byte file
}

// Before Finish the header on disk says there is no data.
TEST(WaveFileWrite, AnUnfinishedTakeIsRefusedAsEmpty) {
  std::string path = testkit::ScratchDir("wavedata_unfinished") + "\\cut.wav";
  {
    WaveFile file;
    ASSERT_EQ(file.Open(path.c_str(), MultimediaFile::kModeCreate), 0);
    file.BuildHeader(0, 44100, 1, 16);
    ASSERT_EQ(file.WriteHeader(), 0);
    unsigned char block[64] = {};
    uint32_t written = 0;
    ASSERT_EQ(file.Write(block, sizeof block, &written), 0);
    ASSERT_EQ(file.Close(), 0);
  }
  WaveFile back;
  back.SetQuiet(true);
  ASSERT_EQ(back.Open(path.c_str(), 0), 0);
  EXPECT_EQ(back.ReadHeader(), 9);
}

}  // namespace
