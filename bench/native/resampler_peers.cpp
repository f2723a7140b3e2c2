// The project's converter (wavedata/Resampler, compiled natively) side by side with
// the converters people use: libsoxr, libsamplerate and speexdsp. Every converter
// streams the same stereo float input in 4410-frame output blocks; the peers give
// floats that are rounded to 16 bits here exactly as the project's converter rounds.
// Speed: ns per output frame, this converter against soxr HQ, interleaved rounds,
// medians. Quality, for each converter: SINAD of a -6 dBFS 1 kHz sine, the worst
// pass band gain to 20 kHz (0.45 of a lower input rate), and the loudest output
// sample a -1 dBFS tone above 22.05 kHz leaves.
#include <samplerate.h>
#include <soxr.h>
#include <speex/speex_resampler.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "wavedata/Resampler.h"
#include "tests/common/SineFit.h"

namespace {

constexpr uint32_t kOutRate = 44100;
constexpr uint32_t kBlock = 4410;
constexpr double kPi = 3.14159265358979323846;

// A value in 16-bit units rounded as the project rounds: halves away from zero, clipped.
inline int16_t Round16(float v) {
  v = v > 32767.0f ? 32767.0f : v;
  v = v < -32768.0f ? -32768.0f : v;
  return (int16_t)(int32_t)(v + (v < 0 ? -0.5f : 0.5f));
}

// One converter as the benchmark drives it: stereo interleaved float input (full
// scale 1.0), 16-bit output for each channel.
class Converter {
 public:
  virtual ~Converter() = default;
  virtual const char* Name() const = 0;
  // Converts the whole input; left and right are filled with every output frame.
  virtual bool Run(const std::vector<float>& in, std::vector<int16_t>& left, std::vector<int16_t>& right) = 0;
};

class Project : public Converter {
 public:
  explicit Project(uint32_t rate) : rate_(rate) {}
  const char* Name() const override { return "sondrel"; }
  bool Run(const std::vector<float>& in, std::vector<int16_t>& left, std::vector<int16_t>& right) override {
    if (!ready_) {
      if (r_.Setup(rate_, kOutRate, 2, kBlock) != 0) return false;
      ready_ = true;
    }
    r_.Reset();
    left.clear();
    right.clear();
    int16_t l[kBlock], rr[kBlock];
    int16_t* out[2] = {l, rr};
    size_t frames = in.size() / 2, at = 0;
    for (;;) {
      uint32_t want = r_.FramesWanted(kBlock);
      uint32_t n = (uint32_t)std::min<size_t>(want, frames - at);
      float* a = r_.InputArea(0);
      float* b = r_.InputArea(1);
      const float* src = in.data() + 2 * at;
      for (uint32_t i = 0; i < n; ++i) {
        a[i] = src[2 * i] * 32768.0f;
        b[i] = src[2 * i + 1] * 32768.0f;
      }
      r_.Commit(n);
      at += n;
      uint32_t got = r_.Produce(out, kBlock, n < want);
      if (got == 0 && at == frames) break;
      left.insert(left.end(), l, l + got);
      right.insert(right.end(), rr, rr + got);
    }
    return true;
  }

 private:
  uint32_t rate_;
  bool ready_ = false;
  Resampler r_;
};

// Peers run on float blocks; their output is rounded here.
void Deliver(const float* y, size_t frames, std::vector<int16_t>& left, std::vector<int16_t>& right) {
  size_t at = left.size();
  left.resize(at + frames);
  right.resize(at + frames);
  for (size_t i = 0; i < frames; ++i) {
    left[at + i] = Round16(y[2 * i] * 32768.0f);
    right[at + i] = Round16(y[2 * i + 1] * 32768.0f);
  }
}

class Soxr : public Converter {
 public:
  Soxr(uint32_t rate, unsigned long recipe, const char* name) : rate_(rate), recipe_(recipe), name_(name) {}
  const char* Name() const override { return name_; }
  bool Run(const std::vector<float>& in, std::vector<int16_t>& left, std::vector<int16_t>& right) override {
    if (!s_) {
      soxr_error_t error = nullptr;
      soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
      soxr_quality_spec_t q = soxr_quality_spec(recipe_, 0);
      soxr_runtime_spec_t rt = soxr_runtime_spec(1);
      s_ = soxr_create(rate_, kOutRate, 2, &error, &io, &q, &rt);
      if (!s_ || error) return false;
    } else {
      soxr_clear(s_);
    }
    soxr_t s = s_;
    left.clear();
    right.clear();
    float y[2 * kBlock];
    size_t frames = in.size() / 2, at = 0;
    // Input in pieces of about one block's worth, as a stream would come.
    size_t piece = (size_t)kBlock * rate_ / kOutRate + 1;
    for (;;) {
      size_t n = std::min(piece, frames - at), used = 0, done = 0;
      soxr_process(s, n ? in.data() + 2 * at : nullptr, n, &used, y, kBlock, &done);
      at += used;
      Deliver(y, done, left, right);
      if (n == 0 && done == 0) break;
    }
    return true;
  }
  ~Soxr() override {
    if (s_) soxr_delete(s_);
  }

 private:
  soxr_t s_ = nullptr;
  uint32_t rate_;
  unsigned long recipe_;
  const char* name_;
};

class Libsamplerate : public Converter {
 public:
  Libsamplerate(uint32_t rate, int type, const char* name) : rate_(rate), type_(type), name_(name) {}
  const char* Name() const override { return name_; }
  bool Run(const std::vector<float>& in, std::vector<int16_t>& left, std::vector<int16_t>& right) override {
    int error = 0;
    if (!s_) s_ = src_new(type_, 2, &error);
    if (!s_) return false;
    src_reset(s_);
    SRC_STATE* s = s_;
    left.clear();
    right.clear();
    float y[2 * kBlock];
    size_t frames = in.size() / 2, at = 0;
    for (;;) {
      SRC_DATA d = {};
      d.data_in = in.data() + 2 * at;
      d.input_frames = (long)std::min<size_t>(kBlock * 2, frames - at);
      d.data_out = y;
      d.output_frames = kBlock;
      d.src_ratio = (double)kOutRate / rate_;
      d.end_of_input = at + d.input_frames == frames;
      if (src_process(s, &d) != 0) break;
      at += d.input_frames_used;
      Deliver(y, d.output_frames_gen, left, right);
      if (d.end_of_input && d.output_frames_gen == 0) break;
    }
    return true;
  }
  ~Libsamplerate() override {
    if (s_) src_delete(s_);
  }

 private:
  SRC_STATE* s_ = nullptr;
  uint32_t rate_;
  int type_;
  const char* name_;
};

class Speex : public Converter {
 public:
  Speex(uint32_t rate, int quality, const char* name) : rate_(rate), quality_(quality), name_(name) {}
  const char* Name() const override { return name_; }
  bool Run(const std::vector<float>& in, std::vector<int16_t>& left, std::vector<int16_t>& right) override {
    int error = 0;
    if (!s_) s_ = speex_resampler_init(2, rate_, kOutRate, quality_, &error);
    if (!s_) return false;
    speex_resampler_reset_mem(s_);
    speex_resampler_skip_zeros(s_);
    SpeexResamplerState* s = s_;
    left.clear();
    right.clear();
    float y[2 * kBlock];
    // The input, then as much silence as the filter's length to flush it.
    std::vector<float> padded(in);
    padded.resize(in.size() + 2 * (size_t)speex_resampler_get_input_latency(s) + 2, 0.0f);
    size_t frames = padded.size() / 2, at = 0;
    while (at < frames) {
      spx_uint32_t n = (spx_uint32_t)std::min<size_t>(kBlock * 2, frames - at), out = kBlock;
      speex_resampler_process_interleaved_float(s, padded.data() + 2 * at, &n, y, &out);
      at += n;
      Deliver(y, out, left, right);
      if (n == 0 && out == 0) break;
    }
    return true;
  }
  ~Speex() override {
    if (s_) speex_resampler_destroy(s_);
  }

 private:
  SpeexResamplerState* s_ = nullptr;
  uint32_t rate_;
  int quality_;
  const char* name_;
};

// A tone's fit over all but the first and last 0.1 s, which hold the filter's start and end.
SineFit FitMiddle(const std::vector<int16_t>& y, double frequency) {
  return FitSine(y.data(), 4410, y.size() > 8820 ? y.size() - 4410 : 0, frequency, 44100.0);
}

// Stereo sines (the same on both sides) at rate, full scale 1.0.
std::vector<float> Sine(double frequency, double level, uint32_t rate, double seconds) {
  std::vector<float> x((size_t)(rate * seconds) * 2);
  for (size_t i = 0; i < x.size() / 2; ++i) x[2 * i] = x[2 * i + 1] = (float)(level * sin(2 * kPi * frequency * (double)i / rate));
  return x;
}

struct Quality {
  double sinad = 0;     // dB, -6 dBFS 1 kHz
  double passband = 0;  // dB, the gain furthest from 0 up to the pass band's edge
  double passEdge = 0;  // Hz
  int stopPeak = -1;    // loudest output sample of a tone above 22.05 kHz (-1: not measured)
  double stopTone = 0;  // Hz, the tone that left it
  double stopFrom = 0;  // Hz, the lowest tone tried
};

Quality Measure(Converter& c, uint32_t rate) {
  Quality q;
  std::vector<int16_t> l, r;
  c.Run(Sine(1000, 0.5, rate, 1.5), l, r);
  SineFit fit = FitMiddle(l, 1000);
  q.sinad = 10 * log10(fit.amplitude * fit.amplitude / 2 / std::max(fit.residual, 1e-12));
  q.passEdge = rate >= kOutRate ? 20000.0 : 0.45 * rate;
  for (double f : {20.0, 1000.0, 0.5 * q.passEdge, 0.8 * q.passEdge, 0.9 * q.passEdge, 0.95 * q.passEdge,
                   0.98 * q.passEdge, q.passEdge}) {
    c.Run(Sine(f, 0.891, rate, 1.0), l, r);
    double gain = 20 * log10(FitMiddle(l, f).amplitude / (0.891 * 32768.0));
    if (fabs(gain) > fabs(q.passband)) q.passband = gain;
  }
  if (rate > kOutRate) {
    // Above the output's Nyquist frequency; an exact halving of the rate may take a
    // half-band filter, stopped from as far above it as the pass band ends below.
    q.stopPeak = 0;
    q.stopFrom = rate == 2 * kOutRate ? kOutRate - 20000.0 : 22060.0;
    for (double f : {22060.0, 22200.0, 22600.0, 23000.0, 23500.0, 24200.0, 26000.0, 30000.0, 40000.0, 47000.0,
                     0.49 * rate}) {
      if (f >= 0.5 * rate || f < q.stopFrom) continue;
      c.Run(Sine(f, 0.891, rate, 1.0), l, r);
      int peak = 0;
      for (size_t n = 4410; n + 4410 < l.size(); ++n) peak = std::max(peak, std::abs((int)l[n]));
      if (peak >= q.stopPeak) {
        q.stopPeak = peak;
        q.stopTone = f;
      }
    }
  }
  return q;
}

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// ns per output frame of one whole run.
double TimeRun(Converter& c, const std::vector<float>& in, std::vector<int16_t>& l, std::vector<int16_t>& r) {
  auto t0 = std::chrono::steady_clock::now();
  c.Run(in, l, r);
  auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(t1 - t0).count() / (double)std::max<size_t>(l.size(), 1);
}

std::vector<float> Noise(uint32_t rate, double seconds) {
  std::vector<float> x((size_t)(rate * seconds) * 2);
  uint32_t seed = 12345;
  for (float& v : x) {
    seed = seed * 1103515245u + 12345u;
    v = (float)(((double)(seed >> 8) / 8388608.0 - 1.0) * 0.5);
  }
  return x;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 61;
  const struct {
    uint32_t rate;
    const char* name;
  } rates[] = {{48000, "48k"}, {96000, "96k"}, {22050, "22k"}, {88200, "88k"}, {32000, "32k"}};
  for (const auto& rate : rates) {
    Project project(rate.rate);
    Soxr hq(rate.rate, SOXR_HQ, "soxr_hq");
    // Short rounds, many of them: on a shared machine a round is then seldom cut by another process.
    std::vector<float> noise = Noise(rate.rate, 0.5);
    std::vector<int16_t> l, r;
    if (!project.Run(noise, l, r) || !hq.Run(noise, l, r)) {
      fprintf(stderr, "resampler_peers: cannot convert from %u Hz\n", rate.rate);
      return 1;
    }
    std::vector<double> ours, theirs;
    for (int i = 0; i < rounds; ++i) {
      ours.push_back(TimeRun(project, noise, l, r));
      theirs.push_back(TimeRun(hq, noise, l, r));
    }
    double a = Median(ours), b = Median(theirs);
    Resampler probe;
    probe.Setup(rate.rate, kOutRate, 2, kBlock);
    printf("BENCH resampler_vs_soxr_hq_%s value=%.2f unit=ns/frame baseline=%.2f ratio=%.3f goal=<=1.0 pass=%s "
           "taps=%u halfbands=%d rounds=%d\n",
           rate.name, a, b, a / b, a / b <= 1.0 ? "yes" : "no", probe.Taps(), probe.HalfBands(), rounds);
    fflush(stdout);
  }
  // Quality of every converter, from the rates the goals name.
  for (const auto& rate : rates) {
    std::vector<std::unique_ptr<Converter>> all;
    all.emplace_back(new Project(rate.rate));
    all.emplace_back(new Soxr(rate.rate, SOXR_MQ, "soxr_mq"));
    all.emplace_back(new Soxr(rate.rate, SOXR_HQ, "soxr_hq"));
    all.emplace_back(new Soxr(rate.rate, SOXR_VHQ, "soxr_vhq"));
    all.emplace_back(new Libsamplerate(rate.rate, SRC_SINC_BEST_QUALITY, "src_best"));
    all.emplace_back(new Libsamplerate(rate.rate, SRC_SINC_MEDIUM_QUALITY, "src_medium"));
    all.emplace_back(new Speex(rate.rate, 5, "speex5"));
    all.emplace_back(new Speex(rate.rate, 10, "speex10"));
    std::vector<float> noise = Noise(rate.rate, 0.5);
    for (auto& c : all) {
      std::vector<int16_t> l, r;
      double speed = std::min(TimeRun(*c, noise, l, r), TimeRun(*c, noise, l, r));
      Quality q = Measure(*c, rate.rate);
      bool ours = c.get() == all.front().get();
      bool pass = q.sinad >= 91.5 && fabs(q.passband) <= 0.01 && q.stopPeak < 1;
      char stop[64] = "";
      if (q.stopPeak >= 0)
        snprintf(stop, sizeof stop, " stop_peak=%d stop_tone=%.0f stop_from=%.0f", q.stopPeak, q.stopTone, q.stopFrom);
      printf("BENCH resampler_quality_%s_%s value=%.2f unit=dB baseline=91.5 ratio=%.3f goal=>=91.5 pass=%s "
             "passband_db=%.4f pass_edge=%.0f%s ns_per_frame=%.1f%s\n",
             c->Name(), rate.name, q.sinad, q.sinad / 91.5, pass ? "yes" : "no", q.passband, q.passEdge, stop, speed,
             ours ? "" : " peer=yes");
      fflush(stdout);
    }
  }
  return 0;
}
