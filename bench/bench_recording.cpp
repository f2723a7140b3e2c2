// The wave input device on the project's capture device, fed the generated sequence:
// - recording_lost_blocks_overload: a real-time take of 60 s (SONDREL_BENCH_TAKE_S)
//   while six busy threads run on two cores (three per core); each block of the file is
//   located in the feed; lost, repeated or reordered blocks are counted (goal 0;
//   baseline: the blocks recorded);
// - recording_lost_blocks_disk_stall: the same take, unloaded, whose writes stall for
//   2 s three times (the writer's test hook), counted alike. Both lines also say how
//   often the device had no buffer left to fill (device_ran_dry: a loss there is ours;
//   one without it happened before the device's buffers, in the platform's audio path)
//   and the most blocks the ring held;
// - recording_stop_latency, _large: from the stop request to the finished file, against
//   one buffer's duration (goal: at most that plus 50 ms);
// - recording_thread_allocations: operator new calls on the recorder thread after the
//   start (goal 0; baseline: blocks);
// - recording_refresh_ratio: the take writer's time per block with the header's sizes
//   brought up to date every second of audio, against the same blocks without it
//   (31 rounds of a minute's blocks, the two writers in turn block by block, medians;
//   goal at most 1.05).
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "bench/BenchKit.h"
#include "host/CaptureFeed.h"
#include "recording/TakeWriter.h"
#include "recording/WaveInput.h"
#include "wavedata/WaveFile.h"

namespace {

constexpr uint32_t kBlock = 8192;         // the host's usual block: 2048 stereo frames
constexpr uint32_t kFileBuffer = 65536;
constexpr uint32_t kBytesPerSecond = 176400;

std::string TakePath(const char* name) { return benchkit::DataDir() + "\\" + name; }

// Counts blocks handed over.
struct Watch {
  std::string path;
  HANDLE enough = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  LONG want = 0;
  volatile LONG blocks = 0;
  int priority = 0;  // the recorder thread's, during the last take
};

void OnBlock(void* context, const uint8_t*, uint32_t) {
  Watch* w = static_cast<Watch*>(context);
  if (InterlockedIncrement(&w->blocks) >= w->want) SetEvent(w->enough);
}

bool Feed(const char* spec) {
  char error[256] = "";
  if (hostkit::FeedSignal(spec, error, sizeof error)) return true;
  fprintf(stderr, "bench_recording: cannot feed the capture device: %s\n", error);
  return false;
}

// One take of at least `blocks` blocks; the time Stop took in *stopSeconds.
bool Take(WaveInput& input, Watch& watch, uint32_t blockSize, uint32_t fileBuffer, LONG blocks, double* stopSeconds) {
  watch.want = blocks;
  watch.blocks = 0;
  ResetEvent(watch.enough);
  input.SetDataCallback(OnBlock, &watch);
  if (input.AllocateBuffers(5, blockSize) != 0 || input.Start(watch.path.c_str(), fileBuffer) != 0) return false;
  benchkit::CountAllocationsOn(input.RecorderThreadId());
  // The recorder thread's priority as the platform reports it (Wine may not apply it to the scheduler).
  if (HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, input.RecorderThreadId())) {
    watch.priority = GetThreadPriority(thread);
    CloseHandle(thread);
  }
  if (input.QueueBuffers() != 0) return false;
  DWORD limit = static_cast<DWORD>(static_cast<uint64_t>(blocks) * blockSize * 1000 / kBytesPerSecond) + 20000;
  bool filled = WaitForSingleObject(watch.enough, limit) == WAIT_OBJECT_0;
  double start = benchkit::Now();
  int code = input.Stop();
  if (stopSeconds) *stopSeconds = benchkit::Now() - start;
  benchkit::CountAllocationsOn(0);
  input.FreeBuffers();
  return filled && code == 0;
}

// Lost, repeated or reordered blocks of a finished take fed the stereo sequence.
long LostBlocks(const std::string& path, long* recorded) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return -1;
  std::vector<int16_t> block(kBlock / 2);
  fseek(f, 44, SEEK_SET);
  long lost = 0;
  int64_t expected = -1;
  *recorded = 0;
  while (fread(block.data(), 1, kBlock, f) == kBlock) {
    ++*recorded;
    int64_t at = hostkit::LocateInSequence(block.data(), kBlock / 4, 2);
    if (at < 0) {
      ++lost;  // not a stretch of the feed at all
    } else if (expected >= 0 && at != expected) {
      // A jump forward loses the blocks in between; anything else is out of place.
      lost += at > expected ? static_cast<long>((at - expected + kBlock / 4 - 1) / (kBlock / 4)) : 1;
    }
    if (at >= 0) expected = at + kBlock / 4;
  }
  fclose(f);
  return lost;
}

// Microseconds per block of a minute's take written by two take writers in turn,
// block by block (so both meet the same disk and the same neighbours): one with the
// refresh every second, one that writes the sizes only at the end. False on a failure.
bool WriterUsPerBlock(const std::string& dir, const std::vector<char>& block, double* refreshed, double* plain) {
  TakeWriter writers[2];
  writers[1].SetRefreshInterval(0);
  WAVEFORMATEX format;
  MakePcmFormat(&format, 44100, 2, 16);
  if (!writers[0].Create((dir + "\\bench_take_refresh.wav").c_str(), format) ||
      !writers[1].Create((dir + "\\bench_take_norefresh.wav").c_str(), format))
    return false;
  const int blocks = static_cast<int>(60 * kBytesPerSecond / kBlock);
  double seconds[2] = {0, 0};
  for (int i = 0; i < blocks; ++i) {
    for (int w = 0; w < 2; ++w) {
      const int k = (i & 1) ? 1 - w : w;  // alternate which writer goes first
      double start = benchkit::Now();
      if (!writers[k].Append(block.data(), kBlock)) return false;
      seconds[k] += benchkit::Now() - start;
    }
  }
  if (!writers[0].Finish() || !writers[1].Finish() || writers[0].Refreshes() < 60) return false;
  *refreshed = seconds[0] * 1e6 / blocks;
  *plain = seconds[1] * 1e6 / blocks;
  return true;
}

DWORD WINAPI Burn(void* stop) {
  volatile uint64_t x = 1;
  while (!*static_cast<volatile LONG*>(stop)) x = x * 6364136223846793005ull + 1442695040888963407ull;
  return 0;
}

// The writer's hook: 2 s stalls at 10, 25 and 40 s of audio (scaled down for shorter takes).
struct Stalls {
  uint64_t at[3];
  int next = 0;
};

void StallWrites(void* context, uint64_t written) {
  Stalls* stalls = static_cast<Stalls*>(context);
  if (stalls->next < 3 && written >= stalls->at[stalls->next]) {
    ++stalls->next;
    Sleep(2000);  // the disk that stalls, not a measurement
  }
}

// A take of `seconds` with 3 busy threads per core, or (stall) with stalling writes;
// prints its line. False when the take could not be made.
bool LongTake(WaveInput& input, Watch& watch, long seconds, bool stall) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const DWORD busy = stall ? 0 : 3 * system.dwNumberOfProcessors;
  volatile LONG stop = 0;
  std::vector<HANDLE> burners;
  for (DWORD i = 0; i < busy; ++i)
    burners.push_back(CreateThread(nullptr, 0, Burn, const_cast<LONG*>(&stop), 0, nullptr));
  Stalls stalls;
  const uint64_t total = static_cast<uint64_t>(seconds) * kBytesPerSecond;
  stalls.at[0] = total / 6;
  stalls.at[1] = total * 5 / 12;
  stalls.at[2] = total * 2 / 3;
  input.SetBeforeWriteHook(stall ? StallWrites : nullptr, &stalls);
  watch.path = TakePath(stall ? "bench_take_stall.wav" : "bench_take_long.wav");
  LONG want = static_cast<LONG>(seconds * kBytesPerSecond / kBlock) + 1;
  bool ok = Take(input, watch, kBlock, kFileBuffer, want, nullptr);
  input.SetBeforeWriteHook(nullptr, nullptr);
  InterlockedExchange(&stop, 1);
  for (HANDLE h : burners) {
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
  }
  if (!ok || input.TakeEndReason() != WaveInput::kRunning) return false;
  long recorded = 0;
  long lost = LostBlocks(watch.path, &recorded);
  if (lost < 0) return false;
  char extra[220];
  snprintf(extra, sizeof extra,
           " seconds=%.1f busy_threads=%lu stalls=%d recorder_priority=%d device_ran_dry=%u most_pending_blocks=%u"
           " ring_blocks=%u",
           recorded * (double)kBlock / kBytesPerSecond, static_cast<unsigned long>(busy), stalls.next, watch.priority,
           input.DeviceRanDry(), input.MostPendingBlocks(),
           static_cast<unsigned>((uint64_t)kBytesPerSecond * WaveInput::kRingMs / 1000 / kBlock + 1));
  benchkit::Report(stall ? "recording_lost_blocks_disk_stall" : "recording_lost_blocks_overload", lost, "blocks",
                   recorded, "=0", extra);
  return true;
}

}  // namespace

int main() {
  benchkit::CountAllocationsOn(0);  // only the recorder thread's calls count, while a take runs
  if (!hostkit::FeedAvailable() || waveInGetNumDevs() == 0) {
    fprintf(stderr, "bench_recording: no capture device (run through ./sondrel bench)\n");
    return 1;
  }
  WaveInput input;
  input.SetQuiet(true);
  input.SetDeviceCount(static_cast<int32_t>(waveInGetNumDevs()));
  input.EnumerateDevices();
  input.SelectDevice(0);
  input.SetFormat(44100, 2, 16);
  Watch watch;
  if (!Feed("sequence 2")) return 1;

  // Allocations on the recorder thread.
  watch.path = TakePath("bench_take_allocations.wav");
  LONG before = benchkit::Allocations();
  if (!Take(input, watch, kBlock, kFileBuffer, 64, nullptr)) return 1;
  LONG allocations = benchkit::Allocations() - before;
  double blocks = watch.blocks;
  benchkit::Report("recording_thread_allocations", allocations, "allocations", blocks, "=0");

  // The header refresh's cost per block, interleaved with the same writes without it.
  std::vector<char> noise(kBlock);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 7919 >> 3);
  std::vector<double> refreshed, plain;
  for (int round = 0; round < 31; ++round) {
    double with = 0, without = 0;
    if (!WriterUsPerBlock(benchkit::DataDir(), noise, &with, &without)) return 1;
    refreshed.push_back(with);
    plain.push_back(without);
  }
  benchkit::Report("recording_refresh_ratio", benchkit::Median(refreshed), "us/block", benchkit::Median(plain),
                   "<=1.05", " block=8192 refresh_bytes=176400");

  // Stop latency, small and large buffers interleaved.
  std::vector<double> small, large;
  watch.path = TakePath("bench_take_stop.wav");
  for (int round = 0; round < 7; ++round) {
    double seconds = 0;
    if (!Take(input, watch, kBlock, kFileBuffer, 8, &seconds)) return 1;
    small.push_back(seconds * 1000);
    if (!Take(input, watch, kBytesPerSecond, kFileBuffer, 1, &seconds)) return 1;
    large.push_back(seconds * 1000);
  }
  double smallBuffer = kBlock * 1000.0 / kBytesPerSecond;
  char goal[32];
  snprintf(goal, sizeof goal, "<=%.3f", (smallBuffer + 50) / smallBuffer);
  benchkit::Report("recording_stop_latency", benchkit::Median(small), "ms", smallBuffer, goal, " buffer_bytes=8192");
  snprintf(goal, sizeof goal, "<=%.3f", (1000.0 + 50) / 1000.0);
  benchkit::Report("recording_stop_latency_large", benchkit::Median(large), "ms", 1000.0, goal,
                   " buffer_bytes=176400");

  // The long takes: with three busy threads per core, then with the disk stalling.
  const char* seconds = getenv("SONDREL_BENCH_TAKE_S");
  long takeSeconds = seconds ? atol(seconds) : 60;
  if (takeSeconds < 1) takeSeconds = 60;
  if (!LongTake(input, watch, takeSeconds, false) || !LongTake(input, watch, takeSeconds, true)) return 1;
  hostkit::StopFeed();
  return 0;
}
