// Recording while playing, as a person overdubs a part: a stereo take of 60 s
// (SONDREL_BENCH_TAKE_S) from the project's capture device, fed the generated
// sequence, while two stereo files loop on the four channels, the host pulls them
// in real time and six busy threads run on two cores (three per core).
// - overdub_lost_blocks: blocks of the take missing from the feed, repeated or out
//   of place (goal 0; baseline: the blocks recorded);
// - overdub_take_bitexact: 1 when the whole take is one unbroken stretch of the feed;
// - overdub_stream_p999_ratio: readStreamChannel's p99.9 per stereo pair against the
//   platform work it cannot avoid (three lock round trips and one read of the pair's
//   block), measured in the same periods (goal at most 1.25).
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchKit.h"
#include "core/Object.h"
#include "engine/ChannelEngine.h"
#include "host/CaptureFeed.h"
#include "recording/WaveInput.h"
#include "wavedata/WaveFile.h"

namespace {

constexpr int32_t kHostBlock = 4410;      // 50 ms of 16-bit mono per channel and period
constexpr int32_t kFileBuffer = 32768;
constexpr uint32_t kTakeBlock = 8192;     // the take's buffers: 2048 stereo frames
constexpr uint32_t kBytesPerSecond = 176400;

int Fail(const char* what) {
  fprintf(stderr, "bench_overdub: %s\n", what);
  return 1;
}

// Ten seconds of stereo noise, written with the plug-in's own writer.
bool WriteNoise(const std::string& path, uint32_t seed) {
  WaveFile file;
  if (file.Open(path.c_str(), MultimediaFile::kModeCreate) != 0) return false;
  file.BuildHeader(0, 44100, 2, 16);
  if (file.WriteHeader() != 0) return false;
  std::vector<int16_t> chunk(2 * 4410);
  uint32_t total = 0, written = 0;
  for (int i = 0; i < 100; ++i) {
    for (int16_t& sample : chunk) sample = static_cast<int16_t>((seed = seed * 1103515245u + 12345u) >> 16);
    if (file.Write(chunk.data(), static_cast<uint32_t>(chunk.size() * 2), &written) != 0) return false;
    total += written;
  }
  return file.Finish(total) == 0 && file.Close() == 0;
}

// The platform work of one stereo pair's period: three lock round trips, one read.
class Baseline {
 public:
  bool Open(const std::string& path) {
    for (int i = 0; i < 3; ++i) {
      char name[64];
      snprintf(name, sizeof name, "SondrelOverdubLock%lu_%d", GetCurrentProcessId(), i);
      locks_[i] = CreateMutexA(nullptr, FALSE, name);
      if (!locks_[i]) return false;
    }
    char copy[MAX_PATH];
    lstrcpynA(copy, path.c_str(), sizeof copy);
    file_ = mmioOpenA(copy, nullptr, MMIO_READ);
    return file_ && mmioSetBuffer(file_, nullptr, kFileBuffer, 0) == 0 && mmioSeek(file_, 44, SEEK_SET) == 44;
  }
  ~Baseline() {
    if (file_) mmioClose(file_, 0);
    for (HANDLE lock : locks_)
      if (lock) CloseHandle(lock);
  }
  void Call() {
    for (HANDLE lock : locks_) {
      WaitForSingleObject(lock, 50);
      ReleaseMutex(lock);
    }
    if (mmioRead(file_, buffer_, sizeof buffer_) < (LONG)sizeof buffer_) mmioSeek(file_, 44, SEEK_SET);
  }

 private:
  HANDLE locks_[3] = {};
  HMMIO file_ = nullptr;
  char buffer_[2 * kHostBlock];
};

double P999(std::vector<double> values) {
  size_t k = static_cast<size_t>(0.999 * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + k, values.end());
  return values[k];
}

DWORD WINAPI Burn(void* stop) {
  volatile uint64_t x = 1;
  while (!*static_cast<volatile LONG*>(stop)) x = x * 6364136223846793005ull + 1442695040888963407ull;
  return 0;
}

// Blocks of the take that are not where the feed puts them; *recorded gets the count.
long LostBlocks(const std::vector<int16_t>& take, long* recorded) {
  const size_t frames = kTakeBlock / 4;
  long lost = 0;
  int64_t expected = -1;
  *recorded = 0;
  for (size_t at = 0; at + frames * 2 <= take.size(); at += frames * 2) {
    ++*recorded;
    int64_t found = hostkit::LocateInSequence(&take[at], frames, 2);
    if (found < 0) ++lost;
    else if (expected >= 0 && found != expected)
      lost += found > expected ? static_cast<long>((found - expected + frames - 1) / frames) : 1;
    if (found >= 0) expected = found + static_cast<int64_t>(frames);
  }
  return lost;
}

}  // namespace

int main() {
  if (!hostkit::FeedAvailable() || waveInGetNumDevs() == 0) return Fail("no capture device (run through ./sondrel bench)");
  const char* secondsText = getenv("SONDREL_BENCH_TAKE_S");
  long seconds = secondsText ? atol(secondsText) : 60;
  if (seconds < 1) seconds = 60;
  const std::string dir = benchkit::DataDir();
  const std::string backingA = dir + "\\overdub_a.wav", backingB = dir + "\\overdub_b.wav";
  const std::string take = dir + "\\overdub_take.wav";
  if (!WriteNoise(backingA, 1) || !WriteNoise(backingB, 2)) return Fail("cannot write the backing files");

  Object reporter;
  reporter.SetQuiet(true);
  ChannelEngine engine(&reporter);
  if (!engine.Valid()) return Fail("no channel locks");
  SetupRecord setup = {{0, kHostBlock, 0, kFileBuffer, 0, 0}};
  engine.ApplySetup(setup);
  int32_t partner = -1;
  if (engine.LoadChannel(0, backingA.c_str(), &partner) != 0 || engine.LoadChannel(2, backingB.c_str(), &partner) != 0)
    return Fail("cannot load the backing files");
  for (int c : {0, 2}) {
    engine.SetLoop(c, true);
    engine.PlayStop(c);
  }
  Baseline baseline;
  if (!baseline.Open(backingA)) return Fail("baseline set-up");

  char error[256] = "";
  if (!hostkit::FeedSignal("sequence 2", error, sizeof error)) return Fail(error);
  WaveInput recorder;
  recorder.SetQuiet(true);
  recorder.SetDeviceCount(static_cast<int32_t>(waveInGetNumDevs()));
  recorder.EnumerateDevices();
  recorder.SelectDevice(0);
  recorder.SetFormat(44100, 2, 16);

  SYSTEM_INFO system;
  GetSystemInfo(&system);
  volatile LONG stop = 0;
  std::vector<HANDLE> burners;
  for (DWORD i = 0; i < 3 * system.dwNumberOfProcessors; ++i)
    burners.push_back(CreateThread(nullptr, 0, Burn, const_cast<LONG*>(&stop), 0, nullptr));
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);  // as a host's audio thread runs

  if (recorder.AllocateBuffers(5, kTakeBlock) != 0 || recorder.Start(take.c_str(), 0) != 0) return Fail("cannot start the take");
  // The host's periods, paced at the block's duration; each pair's call timed, and the
  // platform baseline in the same period.
  std::vector<double> pairs, platform;
  const double period = kHostBlock / 2 / 44100.0;
  const long periods = static_cast<long>(seconds / period);
  uint8_t* out = nullptr;
  int32_t count = 0;
  long undelivered = 0;
  const double start = benchkit::Now();
  for (long p = 0; p < periods; ++p) {
    for (int c : {0, 2}) {
      double t0 = benchkit::Now();
      undelivered += !engine.ReadStreamChannel(c, &out, &count);
      undelivered += !engine.ReadStreamChannel(c + 1, &out, &count);
      pairs.push_back((benchkit::Now() - t0) * 1e6);
      t0 = benchkit::Now();
      baseline.Call();
      platform.push_back((benchkit::Now() - t0) * 1e6);
    }
    double wait = start + (p + 1) * period - benchkit::Now();
    if (wait > 0) Sleep(static_cast<DWORD>(wait * 1000));
  }
  int stopCode = recorder.Stop();
  InterlockedExchange(&stop, 1);
  for (HANDLE h : burners) {
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
  }
  hostkit::StopFeed();
  if (stopCode != 0 || recorder.TakeEndReason() != WaveInput::kRunning) return Fail("the take did not end cleanly");

  WaveFile file;
  file.SetQuiet(true);
  if (file.Open(take.c_str(), MultimediaFile::kModeRead) != 0 || file.ReadHeader() != 0) return Fail("cannot read the take");
  std::vector<int16_t> samples(file.PresentDataSize() / 2);
  uint32_t got = 0;
  if (file.Read(samples.data(), static_cast<uint32_t>(samples.size() * 2), &got) != 0) return Fail("cannot read the take");
  samples.resize(got / 2);
  file.Close();

  long recorded = 0;
  const long lost = LostBlocks(samples, &recorded);
  const bool bitexact = !samples.empty() && hostkit::LocateInSequence(samples.data(), samples.size() / 2, 2) >= 0;
  char extra[128];
  snprintf(extra, sizeof extra, " seconds=%.1f busy_threads=%lu undelivered=%ld", recorded * (double)kTakeBlock / kBytesPerSecond,
           3 * system.dwNumberOfProcessors, undelivered);
  benchkit::Report("overdub_lost_blocks", lost, "blocks", recorded, "=0", extra);
  printf("BENCH overdub_take_bitexact value=%d unit=flag baseline=1 ratio=%d goal=>=1 pass=%s bytes=%zu\n", bitexact ? 1 : 0,
         bitexact ? 1 : 0, bitexact ? "yes" : "no", samples.size() * 2);
  benchkit::Report("overdub_stream_p999_ratio", P999(pairs), "us", P999(platform), "<=1.25",
                   " calls=" + std::to_string(pairs.size()));
  return 0;
}
