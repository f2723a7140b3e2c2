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
#include "tests/common/SineFit.h"
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

// A tone's fit over all but the first and last 0.1 s, which hold the filter's start and end.
SineFit FitMiddle(const std::vector<int16_t>& y, double frequency) {
  return FitSine(y.data(), 4410, y.size() > 8820 ? y.size() - 4410 : 0, frequency, 44100.0);
}

double SinadDb(const std::vector<int16_t>& y, double frequency) {
  SineFit fit = FitMiddle(y, frequency);
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
  double from22x24 = SinadDb(Convert(Sine(1000, level, 22050, 24, 2), 22050, 24), 1000);
  // A 16-bit source holds its own rounding besides the output's: 3 dB below one rounding.
  double worst = std::min(from48, from22);
  char extra[160];
  snprintf(extra, sizeof extra, " from48k=%.2f from22k=%.2f", from48, from22);
  Quality("resample_sinad_db", worst, direct, ">=88.5", worst >= 88.5, extra);
  double worst24 = std::min(from48x24, from22x24);
  snprintf(extra, sizeof extra, " from48k=%.2f from22k=%.2f", from48x24, from22x24);
  Quality("resample_sinad_24bit_db", worst24, direct, ">=91.5", worst24 >= 91.5, extra);

  // Tones at -1 dBFS above 22.05 kHz fold below it unless the filter stops them; a
  // level below half a 16-bit step (-96.3 dBFS) rounds to silence.
  double aliasDb = -200;
  int peak = 0;
  for (double f : {22100.0, 23000.0}) {
    std::vector<int16_t> alias = Convert(Sine(f, 0.891, 48000, 24, 2), 48000, 24);
    aliasDb = std::max(aliasDb, 20 * log10(std::max(FitMiddle(alias, 44100 - f).amplitude, 1e-3) / 32768.0));
    for (size_t n = 4410; n + 4410 < alias.size(); ++n) peak = std::max(peak, abs((int)alias[n]));
  }
  std::vector<int16_t> same = Convert(Sine(21100, 0.891, 44100, 16, 2), 44100, 16);
  double reference = 20 * log10(FitMiddle(same, 21100).amplitude / 32768.0);
  snprintf(extra, sizeof extra, " tones=22100,23000Hz@-1dBFS peak=%d", peak);
  Quality("resample_alias_db", aliasDb, reference, "<=-96.3", aliasDb <= -96.3 && peak == 0, extra);

  // Gain of tones from 48 kHz 24-bit across the pass band.
  double worstGain = 0;
  char gains[240] = "";
  for (double f : {50.0, 1000.0, 5000.0, 10000.0, 15000.0, 18000.0, 19000.0, 20000.0}) {
    std::vector<int16_t> y = Convert(Sine(f, level, 48000, 24, 2), 48000, 24);
    double gain = 20 * log10(FitMiddle(y, f).amplitude / (level * 32767.0));
    if (fabs(gain) > fabs(worstGain)) worstGain = gain;
    size_t used = strlen(gains);
    snprintf(gains + used, sizeof gains - used, " g%.0f=%.4f", f, gain);
  }
  std::vector<int16_t> plain = Convert(Sine(20000, level, 44100, 16, 2), 44100, 16);
  double plainGain = 20 * log10(FitMiddle(plain, 20000).amplitude / (level * 32767.0));
  Quality("resample_passband_db", fabs(worstGain), fabs(plainGain), "<=0.01", fabs(worstGain) <= 0.01, gains);
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

// Plays first in channels 0 and 1 and second in 2 and 3, both looping, and times
// calls rounds of each pair's reads, interleaved. nullptr, or what went wrong.
const char* TimePairs(ChannelEngine& engine, const char* first, const char* second, int calls, Samples* a,
                      Samples* b) {
  int32_t partner = -1;
  if (engine.LoadChannel(0, first, &partner) != 0 || engine.LoadChannel(2, second, &partner) != 0)
    return "cannot load the files";
  for (int c : {0, 2}) {
    engine.SetLoop(c, true);
    engine.PlayStop(c);
  }
  a->us.reserve(calls);
  b->us.reserve(calls);
  uint8_t* out = nullptr;
  int32_t count = 0;
  long wrong = 0;
  while ((int)a->us.size() < calls) {
    TimeRound(*a, [&] {
      wrong += !engine.ReadStreamChannel(0, &out, &count) || count != kBlock;
      wrong += !engine.ReadStreamChannel(1, &out, &count) || count != kBlock;
    });
    TimeRound(*b, [&] {
      wrong += !engine.ReadStreamChannel(2, &out, &count) || count != kBlock;
      wrong += !engine.ReadStreamChannel(3, &out, &count) || count != kBlock;
    });
  }
  engine.CloseFile(0);
  engine.CloseFile(2);
  return wrong ? "a playing pair did not deliver whole blocks" : nullptr;
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
  Samples small, plain;
  const char* failed = TimePairs(engine, tiny, ordinary, kCalls / 5, &small, &plain);
  DeleteFileA(tiny);
  DeleteFileA(ordinary);
  if (failed) return Fail(failed);
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
  Samples base, resampled;
  const char* failed = TimePairs(engine, plain, converted, kCalls, &base, &resampled);
  DeleteFileA(plain);
  DeleteFileA(converted);
  if (failed) return Fail(failed);
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
  if (int code = MeasureTinyFloats(engine)) return code;
  MeasureQuality();
  return 0;
}
