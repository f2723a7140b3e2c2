// The waveform picture reads one frame per column, so its cost must not grow with
// the file: computing it for a 60-minute stereo file against scanning the whole
// file once (what an overview generator that reads every sample does), and
// taking the picture from its cache file against computing it.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchKit.h"
#include "ui/plugin/WaveTrace.h"
#include "wavedata/WaveFile.h"

namespace {

const uint32_t kRate = 44100;
const uint32_t kSeconds = 60 * 60;

// Writes the 60-minute stereo file once; later runs reuse it.
bool EnsureLongFile(const std::string& path) {
  WaveFile probe;
  if (probe.Open(path.c_str(), 0) == 0 && probe.ReadHeader() == 0 && probe.DataSize() == kRate * kSeconds * 4) {
    probe.Close();
    return true;
  }
  probe.Close();
  WaveFile file;
  if (file.Open(path.c_str(), MultimediaFile::kModeCreate) != 0) return false;
  file.SetBuffer(1 << 20);
  file.BuildHeader(0, kRate, 2, 16);
  if (file.WriteHeader() != 0) return false;
  std::vector<int16_t> second(kRate * 2);
  uint32_t total = 0;
  for (uint32_t s = 0; s < kSeconds; ++s) {
    for (uint32_t i = 0; i < kRate; ++i) {
      double t = (double)(s * kRate + i) / kRate;
      second[i * 2] = (int16_t)(12000 * sin(t * 440 * 6.2831853) * (1 + sin(t / 60)) / 2);
      second[i * 2 + 1] = (int16_t)(9000 * sin(t * 660 * 6.2831853));
    }
    uint32_t written = 0;
    if (file.Write(second.data(), (uint32_t)(second.size() * 2), &written) != 0) return false;
    total += written;
  }
  bool ok = file.Finish(total) == 0;
  file.Close();
  return ok;
}

// The baseline: every sample read once, each column's peak kept.
void ScanWholeFile(const std::string& path, std::vector<int16_t>* peaks) {
  WaveFile file;
  if (file.Open(path.c_str(), 0) != 0 || file.ReadHeader() != 0) return;
  file.SetBuffer(65536);
  const uint32_t frames = file.GetFrameCount();
  const uint32_t perColumn = frames / 315 + 1;
  std::vector<int16_t> block(32768);
  peaks->assign(315 * 2, 0);
  uint32_t frame = 0, got = 0;
  while (file.Read(block.data(), (uint32_t)(block.size() * 2), &got) == 0 && got > 0) {
    for (uint32_t i = 0; i + 1 < got / 2; i += 2, ++frame) {
      uint32_t column = frame / perColumn;
      for (int ch = 0; ch < 2; ++ch) {
        int16_t v = block[i + ch] < 0 ? (int16_t)-(block[i + ch] + 1) : block[i + ch];
        if (v > (*peaks)[column * 2 + ch]) (*peaks)[column * 2 + ch] = v;
      }
    }
  }
  file.Close();
}

// A file opened as a load opens it, with the file buffer a host typically asks for,
// and a trace to fill: made outside the timed part, which is the picture step itself.
struct PictureJob {
  explicit PictureJob(const std::string& path, bool writeCache) : trace(315, 52, WaveTrace::kBars, writeCache) {
    ok = file.Open(path.c_str(), 0) == 0 && file.ReadHeader() == 0 && trace.Valid();
    file.SetBuffer(65536);
  }
  ~PictureJob() { file.Close(); }
  double Time() {
    return benchkit::Time([&] { trace.BuildWaveImage(&file, nullptr, nullptr); });
  }
  WaveFile file;
  WaveTrace trace;
  bool ok = false;
};

}  // namespace

int main() {
  std::string dir = benchkit::DataDir();
  std::string wav = dir + "\\sixty_minutes.wav";
  std::string owi = dir + "\\sixty_minutes.owi";
  std::string aside = dir + "\\sixty_minutes.owi.aside";
  if (!EnsureLongFile(wav)) {
    fprintf(stderr, "cannot write %s\n", wav.c_str());
    return 1;
  }
  DeleteFileA(owi.c_str());
  std::vector<int16_t> peaks;
  ScanWholeFile(wav, &peaks);  // warm the file into the system's cache for both sides

  std::vector<double> pictures, scans;
  for (int round = 0; round < 7; ++round) {
    PictureJob job(wav, false);
    if (!job.ok) return 1;
    pictures.push_back(job.Time());
    scans.push_back(benchkit::Time([&] { ScanWholeFile(wav, &peaks); }));
  }
  benchkit::Report("picture_vs_full_scan_60min_stereo", benchkit::Median(pictures) * 1000, "ms",
                   benchkit::Median(scans) * 1000, ">=100");

  PictureJob(wav, true).Time();  // writes the cache file
  std::vector<double> hits, computed;
  for (int round = 0; round < 15; ++round) {
    PictureJob hit(wav, false);
    hits.push_back(hit.Time());
    MoveFileA(owi.c_str(), aside.c_str());
    PictureJob compute(wav, false);
    computed.push_back(compute.Time());
    MoveFileA(aside.c_str(), owi.c_str());
  }
  benchkit::Report("picture_cache_hit_vs_compute", benchkit::Median(hits) * 1000, "ms",
                   benchkit::Median(computed) * 1000, ">=5");
  DeleteFileA(owi.c_str());
  return 0;
}
