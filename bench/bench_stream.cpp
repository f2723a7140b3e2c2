// readStreamChannel against the platform work it cannot avoid, measured in the same
// run, interleaved: per mono block one named-mutex wait and release plus one mmioRead
// of the block; per stereo pair (owner's and partner's call) three waits and releases
// plus one mmioRead of twice the block. A counting allocator shows that the streaming
// path allocates nothing.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "bench/BenchKit.h"
#include "engine/ChannelEngine.h"
#include "wavedata/WaveFile.h"

namespace {

constexpr int32_t kBlock = 4410;
constexpr int32_t kFileBuffer = 32768;
constexpr int kCallsPerMeasure = 100000;
constexpr int kRound = 1000;
constexpr uint32_t kFrames = 441000;  // 10 s

double g_tickUs = 0;

double NowUs() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart * g_tickUs;
}

// A wave file of noise written with the plug-in's own writer.
bool WriteNoise(const char* path, uint16_t channels) {
  WaveFile file;
  if (file.Open(path, MultimediaFile::kModeCreate) != 0) return false;
  file.SetBuffer(65536);
  file.BuildHeader(0, 44100, channels, 16);
  if (file.WriteHeader() != 0) return false;
  std::vector<int16_t> chunk(4096 * channels);
  uint32_t seed = 12345, total = 0, written = 0;
  for (uint32_t frame = 0; frame < kFrames; frame += 4096) {
    for (int16_t& sample : chunk) sample = (int16_t)((seed = seed * 1103515245u + 12345u) >> 16);
    uint32_t bytes = (uint32_t)(chunk.size() * sizeof(int16_t));
    if (file.Write(chunk.data(), bytes, &written) != 0) return false;
    total += written;
  }
  return file.Finish(total) == 0 && file.Close() == 0;
}

// The unavoidable platform work of one call: lock waits and releases, one read.
class Baseline {
 public:
  bool Open(const char* path, int locks, int32_t readSize) {
    for (int i = 0; i < locks; ++i) {
      char name[64];
      snprintf(name, sizeof name, "SondrelBenchLock%lu_%d_%d", GetCurrentProcessId(), readSize, i);
      locks_[i] = CreateMutexA(nullptr, FALSE, name);
      if (!locks_[i]) return false;
    }
    count_ = locks;
    readSize_ = readSize;
    buffer_.assign(readSize, 0);
    char copy[MAX_PATH];
    lstrcpynA(copy, path, sizeof copy);
    file_ = mmioOpenA(copy, nullptr, MMIO_READ);
    if (!file_ || mmioSetBuffer(file_, nullptr, kFileBuffer, 0) != 0) return false;
    return mmioSeek(file_, 44, SEEK_SET) == 44;
  }
  ~Baseline() {
    if (file_) mmioClose(file_, 0);
    for (int i = 0; i < count_; ++i) CloseHandle(locks_[i]);
  }
  void Call() {
    for (int i = 0; i < count_; ++i) {
      WaitForSingleObject(locks_[i], kLockWaitMs);
      ReleaseMutex(locks_[i]);
    }
    if (mmioRead(file_, (HPSTR)buffer_.data(), readSize_) < readSize_) mmioSeek(file_, 44, SEEK_SET);
  }

 private:
  HANDLE locks_[3] = {};
  int count_ = 0;
  HMMIO file_ = nullptr;
  int32_t readSize_ = 0;
  std::vector<char> buffer_;
};

struct Samples {
  std::vector<double> us;
  long allocations = 0;
  double Median() {
    std::vector<double> sorted = us;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    return sorted[sorted.size() / 2];
  }
  double Worst() const { return *std::max_element(us.begin(), us.end()); }
  double Percentile(double fraction) {
    std::vector<double> sorted = us;
    size_t k = (size_t)(fraction * (double)(sorted.size() - 1));
    std::nth_element(sorted.begin(), sorted.begin() + k, sorted.end());
    return sorted[k];
  }
};

// One round of kRound timed calls; the allocations made meanwhile are counted.
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

// setupAllocations shows that the counter sees the engine's allocations at all.
void Report(const char* name, Samples& engine, Samples& baseline, long setupAllocations) {
  double median = engine.Median(), baseMedian = baseline.Median();
  double ratio = median / baseMedian;
  bool pass = ratio <= 1.25 && engine.allocations == 0;
  printf("BENCH %s_median value=%.2f unit=us baseline=%.2f ratio=%.3f goal=<=1.25 pass=%s allocations=%ld "
         "load_allocations=%ld calls=%zu\n",
         name, median, baseMedian, ratio, pass ? "yes" : "no", engine.allocations, setupAllocations, engine.us.size());
  // The tail of a shared machine is the scheduler's (a lock round trip alone can take
  // milliseconds): it is measured against the platform work's own tail in the same run.
  double tails[2][2] = {{engine.Worst(), baseline.Worst()}, {engine.Percentile(0.999), baseline.Percentile(0.999)}};
  const char* tailNames[2] = {"worst", "p999"};
  for (int i = 0; i < 2; ++i) {
    double tailRatio = tails[i][0] / tails[i][1];
    printf("BENCH %s_%s value=%.1f unit=us baseline=%.1f ratio=%.3f goal=<=1.25 pass=%s\n", name, tailNames[i],
           tails[i][0], tails[i][1], tailRatio, tailRatio <= 1.25 ? "yes" : "no");
  }
}

int Fail(const char* what) {
  fprintf(stderr, "bench_stream: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  g_tickUs = 1e6 / (double)frequency.QuadPart;

  char dir[MAX_PATH], mono[MAX_PATH], stereo[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  snprintf(mono, sizeof mono, "%ssondrel_bench_mono_%lu.wav", dir, GetCurrentProcessId());
  snprintf(stereo, sizeof stereo, "%ssondrel_bench_stereo_%lu.wav", dir, GetCurrentProcessId());
  if (!WriteNoise(mono, 1) || !WriteNoise(stereo, 2)) return Fail("cannot write the wave files");

  Object reporter;
  ChannelEngine engine(&reporter);
  if (!engine.Valid()) return Fail("no channel locks");
  SetupRecord setup = {{0, kBlock, 0, kFileBuffer, 0, 0}};
  engine.ApplySetup(setup);
  int32_t partner = -1;
  LONG beforeLoads = benchkit::Allocations();
  if (engine.LoadChannel(0, mono, &partner) != 0 || engine.LoadChannel(2, stereo, &partner) != 0)
    return Fail("cannot load the files");
  long loadAllocations = benchkit::Allocations() - beforeLoads;
  for (int c : {0, 2}) {
    engine.SetLoop(c, true);
    engine.PlayStop(c);
  }
  Baseline monoBase, stereoBase;
  if (!monoBase.Open(mono, 1, kBlock) || !stereoBase.Open(stereo, 3, 2 * kBlock)) return Fail("baseline set-up");

  Samples monoEngine, monoPlatform, stereoEngine, stereoPlatform;
  for (Samples* s : {&monoEngine, &monoPlatform, &stereoEngine, &stereoPlatform}) s->us.reserve(kCallsPerMeasure);
  uint8_t* out = nullptr;
  int32_t count = 0;
  long undelivered = 0;
  while ((int)monoEngine.us.size() < kCallsPerMeasure) {
    TimeRound(monoEngine, [&] { undelivered += !engine.ReadStreamChannel(0, &out, &count); });
    TimeRound(monoPlatform, [&] { monoBase.Call(); });
    TimeRound(stereoEngine, [&] {
      undelivered += !engine.ReadStreamChannel(2, &out, &count);
      undelivered += !engine.ReadStreamChannel(3, &out, &count);
    });
    TimeRound(stereoPlatform, [&] { stereoBase.Call(); });
  }
  if (undelivered) return Fail("a playing channel did not deliver");
  Report("stream_mono", monoEngine, monoPlatform, loadAllocations);
  Report("stream_stereo_pair", stereoEngine, stereoPlatform, loadAllocations);
  DeleteFileA(mono);
  DeleteFileA(stereo);
  return 0;
}
