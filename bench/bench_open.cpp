// Opening a file must not cost more for a long file than for a short one: the
// time from LoadChannel to the first delivered block, with the waveform picture
// computed on the way (its cache removed before every open), for a stereo file of
// the largest size a take reaches (just under 4 GiB, sparse: header, first and last
// second written, holes between) against a one-second file. Interleaved rounds,
// medians.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchKit.h"
#include "core/Object.h"
#include "engine/ChannelEngine.h"
#include "ui/plugin/ImageWorker.h"
#include "wavedata/ImageCache.h"
#include "wavedata/WaveFile.h"

namespace {

const uint32_t kRate = 44100;
const uint32_t kBlock = 4410;
const uint32_t kFileBuffer = 65536;
const int kRounds = 15;

// Writes a 16-bit stereo file of `frames` frames: the header and the first and last
// second of a tone; setting the end of the file leaves the rest a hole.
bool WriteSparse(const std::string& path, uint64_t frames) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  WAVEFORMATEX format;
  MakePcmFormat(&format, kRate, 2, 16);
  WaveHeader header;
  MakePcmHeader(&header, format, (uint32_t)(frames * 4));
  std::vector<int16_t> second(kRate * 2);
  for (uint32_t i = 0; i < kRate; ++i) second[i * 2] = second[i * 2 + 1] = (int16_t)((i % 100) * 300 - 15000);
  DWORD written = 0;
  LARGE_INTEGER at, end;
  at.QuadPart = (LONGLONG)(sizeof header + (frames - kRate) * 4);
  end.QuadPart = (LONGLONG)(sizeof header + frames * 4);
  bool ok = WriteFile(file, &header, sizeof header, &written, nullptr) &&
            WriteFile(file, second.data(), (DWORD)(second.size() * 2), &written, nullptr);
  if (frames > kRate) {
    ok = ok && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
         WriteFile(file, second.data(), (DWORD)(second.size() * 2), &written, nullptr);
  }
  ok = ok && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  return CloseHandle(file) && ok;
}

// The main window's picture step without a window: the picture worker and its
// progress dialog, as a load through the window runs them.
class PictureView : public ChannelView {
 public:
  void ShowChannelState(int) override {}
  void RefreshStrip(int) override {}
  void InvalidatePosition(int) override {}
  void BuildPicture(int, WaveFile* file, bool stereo) override {
    BuildStripPictures(GetModuleHandleA(nullptr), nullptr, file, stereo, nullptr, nullptr);
  }
};

// One open to playable: the load (with the picture) and the first block; then closed.
double OpenToPlayable(ChannelEngine& engine, const std::string& path, bool* ok) {
  char cache[MAX_PATH];
  if (ImageCachePath(path.c_str(), cache, sizeof cache)) DeleteFileA(cache);
  uint8_t* out = nullptr;
  int32_t count = 0;
  int32_t partner = -1;
  bool delivered = false;
  double seconds = benchkit::Time([&] {
    if (engine.LoadChannel(0, path.c_str(), &partner) != 0 || !engine.PlayStop(0)) return;
    delivered = engine.ReadStreamChannel(0, &out, &count) && count == (int32_t)kBlock;
  });
  engine.CloseFile(0);
  if (!delivered) *ok = false;
  return seconds;
}

}  // namespace

int main() {
  const std::string dir = benchkit::DataDir();
  const std::string big = dir + "\\open_4gib.wav", small = dir + "\\open_1s.wav";
  const uint64_t bigFrames = (0xFFFFFFFFull - 36) / 4;
  if (!WriteSparse(big, bigFrames) || !WriteSparse(small, kRate)) {
    fprintf(stderr, "bench_open: cannot write the wave files in %s\n", dir.c_str());
    return 1;
  }
  Object reporter;
  ChannelEngine engine(&reporter);
  PictureView view;
  engine.SetView(&view);
  SetupRecord setup = {{0, kBlock, 0, kFileBuffer, 0, 0}};
  if (!engine.Valid() || engine.ApplySetup(setup) != 0) {
    fprintf(stderr, "bench_open: no channel engine\n");
    return 1;
  }
  std::vector<double> bigTimes, smallTimes;
  bool ok = true;
  OpenToPlayable(engine, small, &ok);  // the first open pays for loading the dialog's code
  for (int round = 0; round < kRounds && ok; ++round) {
    bigTimes.push_back(OpenToPlayable(engine, big, &ok));
    smallTimes.push_back(OpenToPlayable(engine, small, &ok));
  }
  engine.SetView(nullptr);
  char cache[MAX_PATH];
  for (const std::string& path : {big, small}) {
    if (ImageCachePath(path.c_str(), cache, sizeof cache)) DeleteFileA(cache);
    DeleteFileA(path.c_str());
  }
  if (!ok) {
    fprintf(stderr, "bench_open: a file did not open and play\n");
    return 1;
  }
  benchkit::Report("open_4gib_vs_1s", benchkit::Median(bigTimes) * 1000, "ms", benchkit::Median(smallTimes) * 1000,
                   "<=1.5", " rounds=" + std::to_string(kRounds));
  return 0;
}
