// The pre-recorder's live trace on the recorder's path: what feeding one block
// costs the recorder's thread while the window paints the trace, against the
// block's own duration (the time the thread has for it). And a take of a minute
// through the window and the real capture device with the trace shown: every
// block of the fed signal must reach the file.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchKit.h"
#include "core/HostTypes.h"
#include "host/CaptureFeed.h"
#include "wavedata/WaveFile.h"
#include "ui/plugin/MainWindow.h"
#include "ui/plugin/PreRecorderWindow.h"
#include "util/ModulePath.h"

namespace {

constexpr uint32_t kBlockBytes = 4410;  // the host's block: 50 ms of 16-bit mono

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Median microseconds of one OnRecordedBlock on a thread of its own while this
// thread paints every frame it causes.
double FeedCost(PreRecorderWindow* recorder, uint32_t bytes) {
  std::vector<int16_t> block(bytes / 2);
  for (size_t i = 0; i < block.size(); ++i) block[i] = (int16_t)((i * 7919) % 60000 - 30000);
  std::vector<double> times;
  volatile LONG done = 0;
  std::thread feeder([&] {
    for (int i = 0; i < 400; ++i) {
      times.push_back(benchkit::Time([&] {
        PreRecorderWindow::OnRecordedBlock(recorder, reinterpret_cast<const uint8_t*>(block.data()), bytes);
      }));
      Sleep(1);
    }
    InterlockedExchange(&done, 1);
  });
  while (!done) {
    Pump();
    UpdateWindow(recorder->Handle());
    Sleep(0);
  }
  feeder.join();
  Pump();
  return benchkit::Median(times) * 1e6;
}

// A take of `seconds` through the window with the trace shown, fed the generated
// sequence. Blocks whose samples do not continue the sequence from the block before
// count as lost (a gap counts each missing block). -1 when the take cannot be made.
int LostBlocksOfTake(PreRecorderWindow* recorder, int seconds, int* blocks) {
  char error[256] = "";
  if (!hostkit::FeedSignal("sequence 1", error, sizeof error)) {
    fprintf(stderr, "no capture feeder: %s\n", error);
    return -1;
  }
  // Takes go to "Userfiles" beside this program, which the plug-in never creates.
  char userfiles[MAX_PATH];
  if (PathBesideModule(nullptr, "Userfiles", userfiles, sizeof userfiles)) CreateDirectoryA(userfiles, nullptr);
  recorder->NewOutputName();
  if (recorder->StartRecording() != 0) return -1;
  const double end = benchkit::Now() + seconds;
  while (benchkit::Now() < end) {
    Pump();
    Sleep(5);
  }
  if (recorder->StopRecording() != 0) return -1;
  hostkit::StopFeed();
  WaveFile take;
  if (take.Open(recorder->TakePath(), 0) != 0 || take.ReadHeader() != 0) return -1;
  const uint32_t frames = kBlockBytes / 2;
  std::vector<int16_t> block(frames);
  int lost = 0;
  int64_t previous = -1;
  uint32_t got = 0;
  *blocks = 0;
  while (take.Read(block.data(), kBlockBytes, &got) == 0 && got == kBlockBytes) {
    const int64_t at = hostkit::LocateInSequence(block.data(), frames, 1);
    if (at < 0) ++lost;
    else if (previous >= 0 && at != previous + frames) lost += (int)((at - previous) / frames) - 1;
    if (at >= 0) previous = at;
    ++*blocks;
  }
  take.Close();
  DeleteFileA(recorder->TakePath());
  return lost;
}

}  // namespace

int main() {
  MainWindow window;
  SetupRecord setup = {{0, (int32_t)kBlockBytes, 0, 65536, 0, 0}};
  window.Engine().ApplySetup(setup);
  if (!window.Valid() || window.CreateUserInterface(Module(), nullptr, LoadCursorA(nullptr, IDC_ARROW), SW_SHOW) != 0 ||
      !window.PreRecorder()) {
    fprintf(stderr, "the main window and its pre-recorder could not be made\n");
    return 1;
  }
  PreRecorderWindow* recorder = window.PreRecorder();
  window.TogglePreRecorder();
  Pump();

  // The block's duration is what the recorder's thread has for a block: the baseline.
  const double blockUs = kBlockBytes / 2 * 1e6 / 44100;
  benchkit::Report("prerec_trace_feed_per_block", FeedCost(recorder, kBlockBytes), "us", blockUs, "<=0.01",
                   " block_bytes=4410 channels=1");

  // The minute's take: every one of its blocks must follow the last (value: lost blocks).
  int blocks = 0;
  const int lost = LostBlocksOfTake(recorder, 60, &blocks);
  window.DestroyUserInterface();
  Pump();
  if (lost < 0) {
    fprintf(stderr, "the take could not be made\n");
    return 1;
  }
  printf("BENCH prerec_take_60s_lost_blocks value=%d unit=blocks baseline=0 ratio=%d goal=<=0 pass=%s blocks=%d\n",
         lost, lost, lost == 0 ? "yes" : "no", blocks);
  return 0;
}
