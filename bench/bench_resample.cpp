// The converting stream path and the converter's quality.
// Speed: readStreamChannel of a stereo pair playing a 48 kHz 24-bit file against the
// same pair playing a 44.1 kHz 16-bit file (which passes unconverted), in the same
// run, interleaved; a counting allocator shows that the converting path allocates
// nothing. Quality: sines through the converter, measured after the best sine fit;
// each line's goal applies to its value, its baseline is the same measure of the
// 16-bit 44.1 kHz signal written directly.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "bench/BenchKit.h"
#include "core/ErrorCodes.h"
#include "engine/ChannelEngine.h"
#include "wavedata/WaveFile.h"
#include "wavedata/WaveformatConverter.h"

namespace {

constexpr int32_t kBlock = 4410;
constexpr int kCalls = 20000;
constexpr int kRound = 500;
constexpr double kPi = 3.14159265358979323846;

double g_tickUs = 0;
double NowUs() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart * g_tickUs;
}

int Fail(const char* what) {
  fprintf(stderr, "bench_resample: %s\n", what);
  return 1;
}

// Samples of full scale +-1.0 stored in the given depth (16, 24 or 32 bits), rounded.
void Store(std::vector<uint8_t>& bytes, double value, int bits) {
  double scale = bits == 16 ? 32767.0 : bits == 24 ? 8388607.0 : 2147483647.0;
  int64_t v = (int64_t)std::llround(value * scale);
  for (int b = 0; b < bits / 8; ++b) bytes.push_back((uint8_t)(v >> (8 * b)));
}

// Ten seconds of stereo noise at rate and depth, written with the plug-in's writer.
bool WriteNoise(const char* path, uint32_t rate, int bits) {
  WaveFile file;
  if (file.Open(path, MultimediaFile::kModeCreate) != 0) return false;
  file.BuildHeader(0, rate, 2, (uint16_t)bits);
  if (file.WriteHeader() != 0) return false;
  std::vector<uint8_t> bytes;
  uint32_t seed = 12345;
  for (uint32_t i = 0; i < rate * 10 * 2; ++i) {
    seed = seed * 1103515245u + 12345u;
    Store(bytes, ((double)(seed >> 8) / 8388608.0 - 1.0) * 0.5, bits);
  }
  uint32_t written = 0;
  return file.Write(bytes.data(), (uint32_t)bytes.size(), &written) == 0 && file.Finish(written) == 0 &&
         file.Close() == 0;
}

// Ten seconds of 192 kHz float stereo noise at level (full scale 1.0), the header
// written by hand for the float format tag.
bool WriteFloatNoise(const char* path, double level) {
  const uint32_t frames = 192000 * 10;
  std::vector<float> samples(2 * (size_t)frames);
  uint32_t seed = 777;
  for (float& v : samples) {
    seed = seed * 1103515245u + 12345u;
    v = (float)(((double)(seed >> 8) / 8388608.0 - 1.0) * level);
  }
  WAVEFORMATEX format;
  MakePcmFormat(&format, 192000, 2, 32);
  WaveHeader header;
  MakePcmHeader(&header, format, (uint32_t)(samples.size() * sizeof(float)));
  header.formatTag = 3;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0, more = 0;
  bool ok = WriteFile(file, &header, sizeof header, &written, nullptr) &&
            WriteFile(file, samples.data(), header.dataSize, &more, nullptr) && more == header.dataSize;
  CloseHandle(file);
  return ok;
}

// Mono samples at rate through a converter as the channel engine drives it: the
// 16-bit output at 44.1 kHz.
std::vector<int16_t> Convert(const std::vector<uint8_t>& input, uint32_t rate, int bits) {
  WAVEFORMATEX format, host;
  MakePcmFormat(&format, rate, 1, (uint16_t)bits);
  MakePcmFormat(&host, 44100, 1, 16);
  WaveformatConverter converter;
  std::vector<int16_t> out;
  uint32_t readSize = 0;
  if (converter.Setup(format, host, false) == Outcome::NoConversionNeeded) {
    out.resize(input.size() / 2);
    memcpy(out.data(), input.data(), out.size() * 2);
    return out;
  }
  if (converter.AllocateBuffers(kBlock, &readSize) != 0) return out;
  size_t at = 0;
  for (;;) {
    uint32_t wanted = converter.InputBytesWanted();
    uint32_t length = (uint32_t)std::min<size_t>(wanted, input.size() - at);
    uint32_t bytes = converter.Convert(input.data() + at, length, length < wanted);
    at += length;
    if (bytes == 0) break;
    const int16_t* samples = reinterpret_cast<const int16_t*>(converter.FirstBuffer());
    out.insert(out.end(), samples, samples + bytes / 2);
  }
  return out;
}

std::vector<uint8_t> Sine(double frequency, double level, uint32_t rate, int bits, double seconds) {
  std::vector<uint8_t> bytes;
  for (uint32_t i = 0; i < (uint32_t)(rate * seconds); ++i)
    Store(bytes, level * sin(2 * kPi * frequency * i / rate), bits);
  return bytes;
}

// The best fit a sin + b cos + c at a known frequency over the middle of y (the
// ends hold the filter's start and end); amplitude and the residual's power.
struct Fit {
  double amplitude = 0, residual = 0;
};
Fit FitSine(const std::vector<int16_t>& y, double frequency) {
  size_t from = 4410, to = y.size() > 2 * from ? y.size() - from : 0;
  double m[3][4] = {};
  for (size_t n = from; n < to; ++n) {
    double w = 2 * kPi * frequency * n / 44100.0;
    double basis[3] = {sin(w), cos(w), 1.0};
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) m[i][j] += basis[i] * basis[j];
      m[i][3] += basis[i] * y[n];
    }
  }
  for (int i = 0; i < 3; ++i)
    for (int k = i + 1; k < 3; ++k) {
      double f = m[k][i] / m[i][i];
      for (int j = i; j < 4; ++j) m[k][j] -= f * m[i][j];
    }
  double c[3];
  for (int i = 2; i >= 0; --i) {
    double s = m[i][3];
    for (int j = i + 1; j < 3; ++j) s -= m[i][j] * c[j];
    c[i] = s / m[i][i];
  }
  Fit fit;
  fit.amplitude = sqrt(c[0] * c[0] + c[1] * c[1]);
  for (size_t n = from; n < to; ++n) {
    double w = 2 * kPi * frequency * n / 44100.0;
    double e = y[n] - (c[0] * sin(w) + c[1] * cos(w) + c[2]);
    fit.residual += e * e;
  }
  fit.residual /= (double)(to > from ? to - from : 1);
  return fit;
}

double SinadDb(const std::vector<int16_t>& y, double frequency) {
  Fit fit = FitSine(y, frequency);
  return 10 * log10(fit.amplitude * fit.amplitude / 2 / (fit.residual > 1e-12 ? fit.residual : 1e-12));
}

void Quality(const char* name, double value, double baseline, const char* goal, bool pass, const char* extra) {
  printf("BENCH %s value=%.2f unit=dB baseline=%.2f ratio=%.3f goal=%s pass=%s%s\n", name, value, baseline,
         baseline != 0 ? value / baseline : 0, goal, pass ? "yes" : "no", extra);
}

void MeasureQuality() {
  const double level = 0.5;  // -6 dBFS
  double direct = SinadDb(Convert(Sine(1000, level, 44100, 16, 2), 44100, 16), 1000);
  double from48 = SinadDb(Convert(Sine(1000, level, 48000, 16, 2), 48000, 16), 1000);
  double from22 = SinadDb(Convert(Sine(1000, level, 22050, 16, 2), 22050, 16), 1000);
  double from48x24 = SinadDb(Convert(Sine(1000, level, 48000, 24, 2), 48000, 24), 1000);
  double worst = std::min(from48, from22);
  char extra[160];
  snprintf(extra, sizeof extra, " from48k=%.2f from22k=%.2f", from48, from22);
  Quality("resample_sinad_db", worst, direct, ">=85", worst >= 85, extra);
  Quality("resample_sinad_24bit_db", from48x24, direct, ">=88", from48x24 >= 88, " from=48k/24bit");

  // A 23 kHz tone at -1 dBFS folds to 21.1 kHz unless the filter stops it.
  std::vector<int16_t> alias = Convert(Sine(23000, 0.891, 48000, 24, 2), 48000, 24);
  double aliasDb = 20 * log10(std::max(FitSine(alias, 21100).amplitude, 1e-3) / 32768.0);
  std::vector<int16_t> same = Convert(Sine(21100, 0.891, 44100, 16, 2), 44100, 16);
  double reference = 20 * log10(FitSine(same, 21100).amplitude / 32768.0);
  Quality("resample_alias_db", aliasDb, reference, "<=-80", aliasDb <= -80, " tone=23000Hz@-1dBFS");

  // Gain of tones from 48 kHz 24-bit across the pass band.
  double worstGain = 0;
  char gains[200] = "";
  for (double f : {50.0, 1000.0, 5000.0, 10000.0, 15000.0, 18000.0}) {
    std::vector<int16_t> y = Convert(Sine(f, level, 48000, 24, 2), 48000, 24);
    double gain = 20 * log10(FitSine(y, f).amplitude / (level * 32767.0));
    if (fabs(gain) > fabs(worstGain)) worstGain = gain;
    size_t used = strlen(gains);
    snprintf(gains + used, sizeof gains - used, " g%.0f=%.4f", f, gain);
  }
  std::vector<int16_t> plain = Convert(Sine(18000, level, 44100, 16, 2), 44100, 16);
  double plainGain = 20 * log10(FitSine(plain, 18000).amplitude / (level * 32767.0));
  Quality("resample_passband_db", fabs(worstGain), fabs(plainGain), "<=0.1", fabs(worstGain) <= 0.1, gains);
}

struct Samples {
  std::vector<double> us;
  long allocations = 0;
  double At(double fraction) const {
    std::vector<double> sorted = us;
    size_t k = (size_t)(fraction * (double)(sorted.size() - 1));
    std::nth_element(sorted.begin(), sorted.begin() + k, sorted.end());
    return sorted[k];
  }
};

template <typename Call>
void TimeRound(Samples& samples, Call call) {
  LONG before = benchkit::Allocations();
  for (int i = 0; i < kRound; ++i) {
    double t0 = NowUs();
    call();
    samples.us.push_back(NowUs() - t0);
  }
  samples.allocations += benchkit::Allocations() - before;
}

// The tail of a fade or a reverb: a 192 kHz float stereo pair of values around
// 1e-38 (where denormals begin) against the same pair of ordinary noise at -40
// dBFS, each playing in loop, interleaved.
int MeasureTinyFloats(ChannelEngine& engine) {
  char dir[MAX_PATH], tiny[MAX_PATH], ordinary[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  snprintf(tiny, sizeof tiny, "%ssondrel_bench_tiny_%lu.wav", dir, GetCurrentProcessId());
  snprintf(ordinary, sizeof ordinary, "%ssondrel_bench_float_%lu.wav", dir, GetCurrentProcessId());
  if (!WriteFloatNoise(tiny, 2e-38) || !WriteFloatNoise(ordinary, 0.01)) return Fail("cannot write the float files");
  int32_t partner = -1;
  if (engine.LoadChannel(0, tiny, &partner) != 0 || engine.LoadChannel(2, ordinary, &partner) != 0)
    return Fail("cannot load the float files");
  for (int c : {0, 2}) {
    engine.SetLoop(c, true);
    engine.PlayStop(c);
  }
  const int calls = kCalls / 5;
  Samples small, plain;
  small.us.reserve(calls);
  plain.us.reserve(calls);
  uint8_t* out = nullptr;
  int32_t count = 0;
  long wrong = 0;
  while ((int)small.us.size() < calls) {
    TimeRound(small, [&] {
      wrong += !engine.ReadStreamChannel(0, &out, &count) || count != kBlock;
      wrong += !engine.ReadStreamChannel(1, &out, &count) || count != kBlock;
    });
    TimeRound(plain, [&] {
      wrong += !engine.ReadStreamChannel(2, &out, &count) || count != kBlock;
      wrong += !engine.ReadStreamChannel(3, &out, &count) || count != kBlock;
    });
  }
  engine.CloseFile(0);
  engine.CloseFile(2);
  DeleteFileA(tiny);
  DeleteFileA(ordinary);
  if (wrong) return Fail("a playing float pair did not deliver whole blocks");
  double median = small.At(0.5), baseMedian = plain.At(0.5), ratio = median / baseMedian;
  printf("BENCH stream_float_tiny_ratio value=%.2f unit=us baseline=%.2f ratio=%.3f goal=<=1.25 pass=%s "
         "allocations=%ld calls=%zu rate=192000 pointer_bits=%d\n",
         median, baseMedian, ratio, ratio <= 1.25 && small.allocations == 0 ? "yes" : "no", small.allocations,
         small.us.size(), (int)(8 * sizeof(void*)));
  fflush(stdout);
  return 0;
}

}  // namespace

int main() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  g_tickUs = 1e6 / (double)frequency.QuadPart;

  char dir[MAX_PATH], plain[MAX_PATH], converted[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  snprintf(plain, sizeof plain, "%ssondrel_bench_44k_%lu.wav", dir, GetCurrentProcessId());
  snprintf(converted, sizeof converted, "%ssondrel_bench_48k_%lu.wav", dir, GetCurrentProcessId());
  if (!WriteNoise(plain, 44100, 16) || !WriteNoise(converted, 48000, 24)) return Fail("cannot write the wave files");

  Object reporter;
  ChannelEngine engine(&reporter);
  if (!engine.Valid()) return Fail("no channel locks");
  SetupRecord setup = {{0, kBlock, 0, 32768, 0, 0}};
  engine.ApplySetup(setup);
  int32_t partner = -1;
  if (engine.LoadChannel(0, plain, &partner) != 0 || engine.LoadChannel(2, converted, &partner) != 0)
    return Fail("cannot load the files");
  for (int c : {0, 2}) {
    engine.SetLoop(c, true);
    engine.PlayStop(c);
  }
  Samples base, resampled;
  base.us.reserve(kCalls);
  resampled.us.reserve(kCalls);
  uint8_t* out = nullptr;
  int32_t count = 0;
  long wrong = 0;
  while ((int)base.us.size() < kCalls) {
    TimeRound(base, [&] {
      wrong += !engine.ReadStreamChannel(0, &out, &count);
      wrong += !engine.ReadStreamChannel(1, &out, &count);
    });
    TimeRound(resampled, [&] {
      wrong += !engine.ReadStreamChannel(2, &out, &count) || count != kBlock;
      wrong += !engine.ReadStreamChannel(3, &out, &count) || count != kBlock;
    });
  }
  if (wrong) return Fail("a playing pair did not deliver whole blocks");
  double median = resampled.At(0.5), baseMedian = base.At(0.5);
  double ratio = median / baseMedian;
  printf("BENCH stream_resample_48k_stereo_median value=%.2f unit=us baseline=%.2f ratio=%.3f goal=<=3 pass=%s "
         "allocations=%ld calls=%zu\n",
         median, baseMedian, ratio, ratio <= 3 && resampled.allocations == 0 ? "yes" : "no", resampled.allocations,
         resampled.us.size());
  double tail = resampled.At(0.999), baseTail = base.At(0.999);
  printf("BENCH stream_resample_48k_stereo_p999 value=%.1f unit=us baseline=%.1f ratio=%.3f goal=<=3 pass=%s\n", tail,
         baseTail, tail / baseTail, tail / baseTail <= 3 ? "yes" : "no");
  fflush(stdout);
  DeleteFileA(plain);
  DeleteFileA(converted);
  if (int code = MeasureTinyFloats(engine)) return code;
  MeasureQuality();
  return 0;
}
