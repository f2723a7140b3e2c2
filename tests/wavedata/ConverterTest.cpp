#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
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
    uint32_t readSize;  // 0: as much as the resampler may want
  } files[] = {
      {"mono16.wav", 202, 0, 0},    {"rate44095.wav", 202, 0, 0}, {"stereo16.wav", 0, 0, 16384},
      {"pywave.wav", 0, 0, 16384},  {"mono8.wav", 0, 0, 4096},     {"float.wav", 0, 0, 16384},
      {"rate22050.wav", 0, 0, 0},   {"rate44090.wav", 0, 0, 0},    {"rate4000.wav", 0, 17, 0},
      {"extensible.wav", 0, 17, 0},
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
    if (f.allocate != 0 || f.readSize != 0) {
      EXPECT_EQ(readSize, f.allocate == 0 ? f.readSize : 0u);
    }
    EXPECT_LE(converter.InputBytesWanted(), readSize);
    EXPECT_EQ(converter.Resampling(), f.allocate == 0 && f.readSize == 0);
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

// Reads the block samples of one output buffer.
std::vector<int16_t> Samples(const uint8_t* buffer, uint32_t bytes) {
  std::vector<int16_t> out(bytes / 2);
  memcpy(out.data(), buffer, out.size() * 2);
  return out;
}

// At the host's rate each depth reaches 16 bits sample for sample: 8 bits exactly,
// wider ones rounded to the nearest step, float beyond full scale clipped, never wrapped.
TEST(ConverterDepth, EverySampleRoundedAndClippedIntoSixteenBits) {
  const auto put = [](std::vector<uint8_t>& bytes, int64_t v, int width) {
    for (int b = 0; b < width; ++b) bytes.push_back((uint8_t)(v >> (8 * b)));
  };
  const auto putFloat = [](std::vector<uint8_t>& bytes, float v) {
    uint8_t raw[4];
    memcpy(raw, &v, 4);
    bytes.insert(bytes.end(), raw, raw + 4);
  };
  struct Case {
    const char* what;
    uint16_t tag, bits;
    std::vector<uint8_t> input;
    std::vector<int16_t> want;
  } cases[] = {
      {"8 bits", 1, 8, {0, 128, 255, 1}, {-32768, 0, 32512, -32512}},
      {"24 bits", 1, 24, {}, {32767, 1, -1, -32768, 0}},
      {"32 bits", 1, 32, {}, {32767, 1, -1, -32768, 12345}},
      {"float", 3, 32, {}, {32767, -32768, 16384, 0, -1, 32767}},
  };
  for (int64_t v : {0x7FFFFFll, 0x80ll, -0x81ll, -0x800000ll, 0x7Fll}) put(cases[1].input, v, 3);
  for (int64_t v : {0x7FFFFFFFll, 0x8000ll, -0x10000ll, -0x80000000ll, 12345ll * 65536 + 100})
    put(cases[2].input, v, 4);
  for (float v : {1.5f, -2.0f, 0.5f, std::nanf(""), -1.0f / 32768, 1e30f}) putFloat(cases[3].input, v);
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    WAVEFORMATEX format = Format(1, 44100, c.bits, c.bits / 8);
    format.wFormatTag = c.tag;
    WaveformatConverter converter;
    ASSERT_EQ(converter.Setup(format, HostFormat(), false), 0);
    uint32_t readSize = 0;
    ASSERT_EQ(converter.AllocateBuffers(64, &readSize), 0);
    EXPECT_FALSE(converter.Resampling());
    uint32_t bytes = converter.Convert(c.input.data(), (uint32_t)c.input.size());
    EXPECT_EQ(Samples(converter.FirstBuffer(), bytes), c.want);
  }
  // A 24-bit stereo frame splits into its halves.
  WaveformatConverter stereo;
  ASSERT_EQ(stereo.Setup(Format(2, 44100, 24, 6), HostFormat(), true), 0);
  uint32_t readSize = 0;
  ASSERT_EQ(stereo.AllocateBuffers(64, &readSize), 0);
  const uint8_t frame[6] = {0x00, 0x00, 0x40, 0x00, 0x00, 0xC0};
  ASSERT_EQ(stereo.Convert(frame, 6), 2u);
  EXPECT_EQ(Samples(stereo.FirstBuffer(), 2), std::vector<int16_t>{16384});
  EXPECT_EQ(Samples(stereo.SecondBuffer(), 2), std::vector<int16_t>{-16384});
}

// What a filter is given of float samples: full scale at most (infinities too), and
// never a denormal or not a number, which would make its sums slow or a burst.
TEST(SampleDecoding, FloatSamplesReachTheFilterClippedWithoutDenormals) {
  const float inf = std::numeric_limits<float>::infinity();
  const float in[] = {inf, -inf, 3e38f, -1.0000001f, 0.75f, std::nanf(""), 1e-39f, -1e-45f, 0x1p-39f, 0x1p-41f};
  const float want[] = {32768, -32768, 32768, -32768, 24576, 0, 0, 0, 0x1p-24f, 0};
  float out[10];
  DecodeSamples(reinterpret_cast<const uint8_t*>(in), 10, 4, SampleEncoding::kFloat32, out);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(out[i], want[i]) << "sample " << i;
    EXPECT_FALSE(std::fpclassify(out[i]) == FP_SUBNORMAL) << "sample " << i;
  }
}

// The resampler's output is one stream whatever the pieces its input comes in:
// whole blocks, exactly the host's size, from what the converter asks for; the same
// samples from input cut anywhere; the same again after a rewind.
TEST(ConverterResample, OneStreamThroughEveryBlockBoundary) {
  const uint32_t kFrames = 48000, kBlock = 882;
  std::vector<uint8_t> input(kFrames * 2);
  uint32_t seed = 7;
  for (size_t i = 0; i < input.size(); ++i) input[i] = (uint8_t)((seed = seed * 1103515245u + 12345u) >> 24);
  WaveformatConverter converter;
  ASSERT_EQ(converter.Setup(Format(1, 48000, 16, 2), HostFormat(), false), 0);
  uint32_t readSize = 0;
  ASSERT_EQ(converter.AllocateBuffers(kBlock, &readSize), 0);
  ASSERT_TRUE(converter.Resampling());
  std::vector<uint32_t> sizes;
  const auto play = [&](std::vector<int16_t>& stream, uint32_t (*piece)(uint32_t wanted, uint32_t call)) {
    sizes.clear();
    size_t at = 0;
    for (uint32_t call = 0;; ++call) {
      uint32_t wanted = converter.InputBytesWanted();
      EXPECT_LE(wanted, readSize);
      uint32_t length = std::min<uint32_t>(piece(wanted, call), (uint32_t)(input.size() - at));
      bool end = at + length == input.size() && length < wanted;
      uint32_t bytes = converter.Convert(input.data() + at, length, end);
      at += length;
      std::vector<int16_t> block = Samples(converter.FirstBuffer(), bytes);
      stream.insert(stream.end(), block.begin(), block.end());
      sizes.push_back(bytes);
      if (bytes == 0 && at == input.size()) return;
      if (call > 10000) return ADD_FAILURE() << "the stream does not end";
    }
  };
  std::vector<int16_t> whole, pieces, again;
  play(whole, [](uint32_t wanted, uint32_t) { return wanted; });
  // Whole blocks until the end of the data, then its rest, then nothing.
  ASSERT_GE(sizes.size(), 3u);
  EXPECT_EQ(std::count(sizes.begin(), sizes.end() - 2, kBlock), (long)sizes.size() - 2);
  EXPECT_GT(sizes[sizes.size() - 2], 0u);
  EXPECT_EQ(sizes.back(), 0u);
  // The host's duration: 44100 output samples for 48000 input samples, within one block.
  EXPECT_NEAR((double)whole.size(), 44100.0, kBlock / 2);
  converter.Reset();
  play(pieces, [](uint32_t wanted, uint32_t call) { return std::min<uint32_t>(wanted, 2 * (call * 37 % 500)); });
  EXPECT_EQ(pieces, whole);
  converter.Reset();
  play(again, [](uint32_t wanted, uint32_t) { return wanted; });
  EXPECT_EQ(again, whole);
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
