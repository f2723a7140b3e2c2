#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/common/SineFit.h"
#include "tests/common/TestKit.h"
#include "tests/wavedata/GuardedBuffer.h"
#include "wavedata/Resampler.h"
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

// Plays input through a converter as the channel engine does: each call is given
// piece(wanted, call) bytes of what the converter asks for. The output buffers'
// samples (left, then right when split) and the byte counts of the calls.
struct Played {
  std::vector<int16_t> left, right;
  std::vector<uint32_t> sizes;
};
Played Play(WaveformatConverter& converter, const std::vector<uint8_t>& input,
            uint32_t (*piece)(uint32_t wanted, uint32_t call)) {
  Played played;
  uint32_t readSize = converter.ReadSize();
  size_t at = 0;
  for (uint32_t call = 0;; ++call) {
    uint32_t wanted = converter.InputBytesWanted();
    EXPECT_LE(wanted, readSize);
    uint32_t length = std::min<uint32_t>(piece(wanted, call), (uint32_t)(input.size() - at));
    bool end = at + length == input.size() && length < wanted;
    uint32_t bytes = converter.Convert(input.data() + at, length, end);
    at += length;
    std::vector<int16_t> block = Samples(converter.FirstBuffer(), bytes);
    played.left.insert(played.left.end(), block.begin(), block.end());
    if (converter.SecondBuffer()) {
      block = Samples(converter.SecondBuffer(), bytes);
      played.right.insert(played.right.end(), block.begin(), block.end());
    }
    played.sizes.push_back(bytes);
    if (bytes == 0 && at == input.size()) break;
    if (call > 10000) {
      ADD_FAILURE() << "the stream does not end";
      break;
    }
  }
  return played;
}

uint32_t Whole(uint32_t wanted, uint32_t) { return wanted; }

// The resampler's output is one stream whatever the pieces its input comes in:
// whole blocks, exactly the host's size, from what the converter asks for; the same
// samples from input cut anywhere; the same again after a rewind. For every way the
// rate is converted: a fraction down, a fraction up, doubled, halved, halved and a
// fraction, halved twice and a fraction.
TEST(ConverterResample, OneStreamThroughEveryBlockBoundary) {
  const uint32_t kBlock = 882;
  const struct {
    uint32_t rate;
    uint16_t channels;
  } cases[] = {{48000, 1}, {32000, 2}, {22050, 2}, {88200, 2}, {96000, 1}, {192000, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    std::vector<uint8_t> input((size_t)c.rate * 2 * c.channels);  // one second of 16-bit noise
    uint32_t seed = 7;
    for (size_t i = 0; i < input.size(); ++i) input[i] = (uint8_t)((seed = seed * 1103515245u + 12345u) >> 24);
    WaveformatConverter converter;
    ASSERT_EQ(converter.Setup(Format(c.channels, c.rate, 16, 2 * c.channels), HostFormat(), c.channels == 2), 0);
    uint32_t readSize = 0;
    ASSERT_EQ(converter.AllocateBuffers(kBlock, &readSize), 0);
    ASSERT_TRUE(converter.Resampling());
    Played whole = Play(converter, input, Whole);
    // Whole blocks until the end of the data, then its rest, then nothing.
    const std::vector<uint32_t>& sizes = whole.sizes;
    ASSERT_GE(sizes.size(), 3u);
    EXPECT_EQ(std::count(sizes.begin(), sizes.end() - 2, kBlock), (long)sizes.size() - 2);
    EXPECT_GT(sizes[sizes.size() - 2], 0u);
    EXPECT_EQ(sizes.back(), 0u);
    // The host's duration: one second, within one block.
    EXPECT_NEAR((double)whole.left.size(), 44100.0, kBlock / 2);
    EXPECT_EQ(whole.right.size(), c.channels == 2 ? whole.left.size() : 0u);
    converter.Reset();
    Played pieces = Play(converter, input, [](uint32_t wanted, uint32_t call) {
      return std::min<uint32_t>(wanted, 4 * (call * 37 % 250));  // whole frames, mono or stereo
    });
    EXPECT_TRUE(pieces.left == whole.left && pieces.right == whole.right);
    converter.Reset();
    Played again = Play(converter, input, Whole);
    EXPECT_TRUE(again.left == whole.left && again.right == whole.right);
  }
}

// Every width of sums the processor has (one output at a time as without SSE2, four
// lanes, eight) gives one stream whatever the pieces its input comes in, within a
// step of the others, for every way the rate is converted, mono and stereo.
TEST(ConverterResample, SumsOfEveryWidthAgreeWhateverTheBlocks) {
  const uint32_t kBlock = 441;
  for (uint32_t rate : {48000u, 22050u, 88200u, 96000u, 32000u}) {
    for (int channels : {2, 1}) {
      SCOPED_TRACE(testing::Message() << rate << " Hz, channels " << channels);
      std::vector<float> input(rate / 2 * 2);  // half a second of stereo noise
      uint32_t seed = 11;
      for (float& v : input) v = (float)((int32_t)((seed = seed * 1103515245u + 12345u) >> 16) - 32768) * 0.5f;
      const auto play = [&](int lanes, bool pieces) {
        Resampler r;
        EXPECT_EQ(r.Setup(rate, 44100, channels, kBlock), 0);
        std::vector<int16_t> stream, left(kBlock), right(kBlock);
        if (r.UseLanes(lanes) != lanes) return stream;  // not on this processor
        int16_t* out[2] = {left.data(), right.data()};
        size_t at = 0, frames = input.size() / 2;
        for (uint32_t call = 0; call < 100000; ++call) {
          uint32_t wanted = r.FramesWanted(kBlock);
          uint32_t n = (uint32_t)std::min<size_t>(pieces ? std::min(wanted, call * 37 % 300) : wanted, frames - at);
          for (uint32_t i = 0; i < n; ++i)
            for (int ch = 0; ch < channels; ++ch) r.InputArea(ch)[i] = input[2 * (at + i) + ch];
          r.Commit(n);
          at += n;
          uint32_t made = r.Produce(out, kBlock, at == frames && n < wanted);
          for (uint32_t i = 0; i < made; ++i)
            for (int ch = 0; ch < channels; ++ch) stream.push_back(out[ch][i]);
          if (made == 0 && at == frames && n < wanted) break;
        }
        return stream;
      };
      std::vector<int16_t> plain = play(1, false);
      EXPECT_NEAR((double)plain.size() / channels, 22050.0, kBlock);  // frames
      for (int lanes : {1, 4, 8}) {
        SCOPED_TRACE(lanes);
        std::vector<int16_t> whole = lanes == 1 ? plain : play(lanes, false);
        if (whole.empty()) continue;
        EXPECT_EQ(play(lanes, true), whole);
        ASSERT_EQ(whole.size(), plain.size());
        int worst = 0;
        for (size_t i = 0; i < plain.size(); ++i) worst = std::max(worst, std::abs(plain[i] - whole[i]));
        EXPECT_LE(worst, 1);
      }
    }
  }
}

// A sine of known frequency in 16-bit samples at the host's rate, fitted over all
// but the first and last 20 ms.
SineFit FitTone(const std::vector<int16_t>& y, double frequency) {
  return FitSine(y.data(), 882, y.size() > 1764 ? y.size() - 882 : 0, frequency, 44100.0);
}

// A third of a second of a float sine at -1 dBFS, played through a converter.
std::vector<int16_t> PlayTone(uint32_t rate, double frequency) {
  const double kPi = 3.14159265358979323846;
  std::vector<uint8_t> input;
  for (uint32_t n = 0; n < rate / 3; ++n) {
    float v = (float)(0.891 * std::sin(2 * kPi * frequency * n / rate));
    uint8_t raw[4];
    memcpy(raw, &v, 4);
    input.insert(input.end(), raw, raw + 4);
  }
  WAVEFORMATEX format = Format(1, rate, 32, 4);
  format.wFormatTag = 3;
  WaveformatConverter converter;
  EXPECT_EQ(converter.Setup(format, HostFormat(), false), 0);
  uint32_t readSize = 0;
  EXPECT_EQ(converter.AllocateBuffers(8820, &readSize), 0);
  return Play(converter, input, Whole).left;
}

// Tones in the pass band keep their level within 0.01 dB: to 20 kHz from every rate
// above the host's, to 0.45 of a lower rate; nothing else comes out with them but the
// rounding to 16 bits (no image of a lower rate's tone). Tones the host's rate cannot
// hold leave silence: from its Nyquist frequency on (an exact halving, which takes a
// half-band filter, from as far above it as the pass band ends below). From 96 kHz a
// half-band filter comes first: tones from 26 to 28 kHz fold back to where the last
// filter's pass band ends, and only the first stops them.
TEST(ConverterResample, FlatPassBandAndSilentStopBand) {
  const struct {
    uint32_t rate;
    std::vector<double> pass, stop;
  } cases[] = {
      {48000, {1000, 15000, 19000, 20000}, {22100, 22600, 23500}},
      {96000, {1000, 19000, 20000}, {22100, 25000, 26000, 26800, 27500, 30000, 47000}},
      {88200, {1000, 20000}, {24200, 35000}},
      {22050, {1000, 9000, 9900}, {}},
      {32000, {12000, 14400}, {}},
  };
  for (const auto& c : cases) {
    for (double f : c.pass) {
      SCOPED_TRACE(std::to_string(c.rate) + " Hz file, tone at " + std::to_string(f));
      SineFit fit = FitTone(PlayTone(c.rate, f), f);
      EXPECT_LE(std::fabs(20 * std::log10(fit.amplitude / (0.891 * 32768))), 0.01);
      // Rounding alone leaves a twelfth of a step squared; an image 100 dB down adds
      // less than half as much again.
      EXPECT_LT(fit.residual, 0.2);
    }
    for (double f : c.stop) {
      SCOPED_TRACE(std::to_string(c.rate) + " Hz file, tone at " + std::to_string(f));
      std::vector<int16_t> y = PlayTone(c.rate, f);
      ASSERT_GT(y.size(), 2000u);
      int loudest = 0;
      for (size_t n = 882; n + 882 < y.size(); ++n) loudest = std::max(loudest, std::abs((int)y[n]));
      EXPECT_EQ(loudest, 0);
    }
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
