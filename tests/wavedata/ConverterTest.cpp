#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/common/TestKit.h"
#include "tests/wavedata/GuardedBuffer.h"
#include "wavedata/WaveFile.h"
#include "wavedata/WaveformatConverter.h"

namespace {

std::string Wave(const std::string& name) { return testkit::DataPath("wavedata\\" + name); }

WAVEFORMATEX HostFormat() {
  WAVEFORMATEX host;
  MakePcmFormat(&host, 44100, 1, 16);
  return host;
}

WAVEFORMATEX FormatOf(const char* name) {
  WAVEFORMATEX format;
  memset(&format, 0, sizeof format);
  WaveFile file;
  EXPECT_EQ(file.Open(Wave(name).c_str(), 0), 0);
  EXPECT_EQ(file.ReadHeader(), 0);
  file.GetFormat(&format);
  file.Close();
  return format;
}

WAVEFORMATEX Format(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t align) {
  WAVEFORMATEX f;
  MakePcmFormat(&f, rate, channels, bits);
  f.nBlockAlign = align;
  return f;
}

TEST(ConverterSetup, HostFormatChecksOnRealFiles) {
  // The loader's steps: Setup with split = two channels, then AllocateBuffers(B).
  const struct {
    const char* name;
    int setup;
    int allocate;  // when Setup gave 0
  } files[] = {
      {"mono16.wav", 202, 0},   {"rate44095.wav", 202, 0}, {"stereo16.wav", 0, 0},
      {"pywave.wav", 0, 0},     {"mono8.wav", 0, 17},      {"rate22050.wav", 0, 17},
      {"rate44090.wav", 0, 17},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    WAVEFORMATEX format = FormatOf(f.name);
    WaveformatConverter converter;
    converter.SetQuiet(true);
    ASSERT_EQ(converter.Setup(format, HostFormat(), format.nChannels == 2), f.setup);
    EXPECT_EQ(converter.LastError(), 0);
    if (f.setup == 202) continue;
    uint32_t readSize = 1;
    EXPECT_EQ(converter.AllocateBuffers(8192, &readSize), f.allocate);
    EXPECT_EQ(converter.BuffersAllocated(), f.allocate == 0);
    EXPECT_EQ(readSize, f.allocate == 0 ? 16384u : 0u);
  }
}

// Whole files split as sox splits them in the engine and end-to-end tests.
TEST(ConverterSplit, PartialFramesAreDroppedAndSamplesMovedUnchanged) {
  WaveformatConverter converter;
  ASSERT_EQ(converter.Setup(Format(2, 44100, 16, 4), HostFormat(), true), 0);
  uint32_t readSize = 0;
  ASSERT_EQ(converter.AllocateBuffers(64, &readSize), 0);
  const unsigned char block[43] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xFF, 0x7F, 0x00, 0x80};
  EXPECT_EQ(converter.Convert(block, 43), 20u);  // 10 frames; 3 bytes of a frame dropped
  const unsigned char* l = converter.FirstBuffer();
  const unsigned char* r = converter.SecondBuffer();
  EXPECT_EQ(l[0], 1);
  EXPECT_EQ(l[1], 2);
  EXPECT_EQ(r[0], 3);
  EXPECT_EQ(r[1], 4);
  EXPECT_EQ(l[6], 0xFF);
  EXPECT_EQ(l[7], 0x7F);
  EXPECT_EQ(r[6], 0x00);
  EXPECT_EQ(r[7], 0x80);
}

// Input longer than the read size must neither be read past nor written past.
TEST(ConverterSplit, OverlongInputStaysInsideEveryBuffer) {
  for (bool split : {true, false}) {
    SCOPED_TRACE(split ? "split" : "copy");
    WaveformatConverter converter;
    // A mono host-format file needs no conversion, but a converter set up for it still works.
    converter.Setup(split ? Format(2, 44100, 16, 4) : Format(1, 44100, 16, 2), HostFormat(), split);
    uint32_t readSize = 0;
    ASSERT_EQ(converter.AllocateBuffers(4410, &readSize), 0);
    GuardedBuffer input(readSize);
    ASSERT_NE(input.data(), nullptr);
    memset(input.data(), 0x5A, readSize);
    // Claims more bytes than there are: the guard page faults if they are touched.
    uint32_t n = converter.Convert(input.data(), readSize + 4096);
    EXPECT_LE(n, converter.BufferSize());
    EXPECT_EQ(n, 4410u);
    EXPECT_EQ(converter.FirstBuffer()[n - 1], 0x5A);
  }
}

TEST(ConverterBuffers, ReallocationAndFreeing) {
  WaveformatConverter converter;
  ASSERT_EQ(converter.Setup(Format(2, 44100, 16, 4), HostFormat(), true), 0);
  uint32_t readSize = 0;
  ASSERT_EQ(converter.AllocateBuffers(100, &readSize), 0);
  ASSERT_EQ(converter.AllocateBuffers(6, &readSize), 0);
  EXPECT_EQ(readSize, 12u);
  EXPECT_EQ(converter.BufferSize(), 6u);
  // An odd block: whole frames only, never past the buffers.
  ASSERT_EQ(converter.AllocateBuffers(7, &readSize), 0);
  unsigned char block[14] = {};
  EXPECT_EQ(converter.Convert(block, readSize), 6u);
  // Buffers that could not be had are out of memory, reported as 19.
  converter.SetQuiet(true);
  EXPECT_EQ(converter.AllocateBuffers(0xF0000000u, &readSize), 19);
  EXPECT_FALSE(converter.BuffersAllocated());
  EXPECT_EQ(converter.Convert(block, sizeof block), 0u);
}

}  // namespace
