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
#include "ui/plugin/MainWindow.h"
#include "ui/plugin/PreRecorderWindow.h"

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
  window.DestroyUserInterface();
  Pump();
  return 0;
}
