#include "wavedata/Resampler.h"

#include <cmath>
#include <cstring>
#include <new>

#include "core/ErrorCodes.h"
#include "wavedata/SampleFormat.h"

namespace {
constexpr double kPi = 3.14159265358979323846;
// Stop band attenuation of the design, in dB.
constexpr double kAttenuationDb = 86.0;
// Pass band and stop band edges as fractions of the lower of the two rates: at
// 44100 Hz flat to 18.2 kHz, and stopped from 22.9 kHz. Between 22.05 and 22.9 kHz
// an input of a higher rate may fold back partly attenuated, to above 21.2 kHz.
constexpr double kPassEdge = 0.4127;
constexpr double kStopEdge = 0.5195;
// Rational steps with more phases than this use an interpolated table of this size.
constexpr uint32_t kMaxExactPhases = 2048;
constexpr uint32_t kInterpolatedPhases = 1024;

// The filter's sums four lanes at a time: SSE on x86_64, plain code where there is none.
typedef float Float4 __attribute__((vector_size(16)));
// The same lanes read from any float address.
typedef float Float4Unaligned __attribute__((vector_size(16), aligned(4), may_alias));
#define Load4(p) (*reinterpret_cast<const Float4Unaligned*>(p))

// h . x and h . y over taps (a multiple of four): two channels share each load of taps.
inline void DotStereo(const float* h, const float* x, const float* y, uint32_t taps, float* left, float* right) {
  // Two sums per channel: the additions of one do not wait for the other's.
  Float4 a = {}, b = {}, c = {}, d = {};
  uint32_t j = 0;
  for (; j + 8 <= taps; j += 8) {
    Float4 h0 = Load4(h + j), h1 = Load4(h + j + 4);
    a += h0 * Load4(x + j);
    b += h1 * Load4(x + j + 4);
    c += h0 * Load4(y + j);
    d += h1 * Load4(y + j + 4);
  }
  if (j < taps) {
    Float4 h0 = Load4(h + j);
    a += h0 * Load4(x + j);
    c += h0 * Load4(y + j);
  }
  a += b;
  c += d;
  *left = (a[0] + a[1]) + (a[2] + a[3]);
  *right = (c[0] + c[1]) + (c[2] + c[3]);
}

inline float DotMono(const float* h, const float* x, uint32_t taps) {
  Float4 a = {}, b = {};
  uint32_t j = 0;
  for (; j + 8 <= taps; j += 8) {
    a += Load4(h + j) * Load4(x + j);
    b += Load4(h + j + 4) * Load4(x + j + 4);
  }
  if (j < taps) a += Load4(h + j) * Load4(x + j);
  a += b;
  return (a[0] + a[1]) + (a[2] + a[3]);
}

uint32_t Gcd(uint32_t a, uint32_t b) {
  while (b) {
    uint32_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

// The modified Bessel function of order 0, by its power series.
double BesselI0(double x) {
  double sum = 1.0, term = 1.0, q = x * x / 4.0;
  for (int k = 1; k < 60; ++k) {
    term *= q / ((double)k * k);
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}
}  // namespace

// Designs the filter for the two rates and sizes every buffer for maxOut outputs.
int Resampler::Setup(uint32_t inRate, uint32_t outRate, int channels, uint32_t maxOut) {
  table_.reset();
  history_.reset();
  scratch_.reset();
  if (inRate == 0 || outRate == 0 || channels < 1 || channels > kMaxChannels || maxOut == 0)
    return Error::FormatNotConvertible;
  uint32_t g = Gcd(inRate, outRate);
  up_ = outRate / g;
  down_ = inRate / g;
  channels_ = channels;
  stepWhole_ = down_ / up_;
  stepPart_ = down_ % up_;

  // Everything in input samples: the cut-off follows the lower rate.
  double lower = inRate < outRate ? inRate : outRate;
  double cutoff = (kPassEdge + kStopEdge) / 2 * lower / inRate;  // cycles per input sample
  double width = (kStopEdge - kPassEdge) * lower / inRate;        // transition, cycles per input sample
  double beta = 0.1102 * (kAttenuationDb - 8.7);
  uint32_t length = (uint32_t)std::ceil((kAttenuationDb - 7.95) / (2.285 * 2.0 * kPi * width)) + 1;
  half_ = (length + 1) / 2;
  half_ = (half_ + 1) & ~1u;  // taps a multiple of four for the vector sums
  taps_ = 2 * half_;
  exact_ = up_ <= kMaxExactPhases;
  phases_ = exact_ ? up_ : kInterpolatedPhases;

  // The output block's inputs, the filter's reach either side, and room for silence.
  uint64_t span = ((uint64_t)maxOut * down_ + up_ - 1) / up_ + 2;
  pad_ = half_ + 1;
  uint64_t capacity = (uint64_t)taps_ + span + pad_ + 2;
  if (capacity > (1u << 24)) return Error::OutOfMemory;
  capacity_ = (uint32_t)capacity;
  maxPush_ = capacity_ - pad_ - (half_ - 1);

  size_t rows = (size_t)phases_ + 1;
  table_.reset(new (std::nothrow) float[rows * taps_]);
  history_.reset(new (std::nothrow) float[(size_t)channels_ * capacity_]);
  scratch_.reset(new (std::nothrow) float[taps_]);
  if (!table_ || !history_ || !scratch_) {
    table_.reset();
    history_.reset();
    scratch_.reset();
    return Error::OutOfMemory;
  }
  // Row p holds the taps for an output p / phases_ of an input sample after the
  // sample at index half_ - 1 of the window; each row sums to 1, so silence and
  // constant levels pass exactly.
  double i0beta = BesselI0(beta);
  auto tap = [&](uint32_t j, double frac) {
    double x = (double)j - (double)(half_ - 1) - frac;
    double u = x / (double)half_;
    double window = u * u < 1.0 ? BesselI0(beta * std::sqrt(1.0 - u * u)) / i0beta : 0.0;
    double arg = 2.0 * cutoff * x;
    double sinc = std::fabs(arg) < 1e-12 ? 1.0 : std::sin(kPi * arg) / (kPi * arg);
    return 2.0 * cutoff * sinc * window;
  };
  for (size_t p = 0; p < rows; ++p) {
    double frac = (double)p / phases_, sum = 0.0;
    for (uint32_t j = 0; j < taps_; ++j) sum += tap(j, frac);
    float* row = table_.get() + p * taps_;
    for (uint32_t j = 0; j < taps_; ++j) row[j] = (float)(tap(j, frac) / sum);
  }
  Reset();
  return 0;
}

void Resampler::Reset() {
  if (history_) memset(history_.get(), 0, sizeof(float) * (size_t)channels_ * capacity_);
  next_ = half_ ? half_ - 1 : 0;
  fill_ = next_;
  phase_ = 0;
}

uint32_t Resampler::FramesWanted(uint32_t out) const {
  if (out == 0 || !history_) return 0;
  uint64_t last = next_ + ((uint64_t)phase_ + (uint64_t)(out - 1) * down_) / up_;
  uint64_t need = last + half_ + 1;
  uint64_t wanted = need > fill_ ? need - fill_ : 0;
  uint32_t space = InputSpace();
  return wanted > space ? space : (uint32_t)wanted;
}

void Resampler::Commit(uint32_t frames) {
  uint32_t space = InputSpace();
  fill_ += frames > space ? space : frames;
}

// The taps for the next output's phase: a row of the table, or two rows blended.
const float* Resampler::Coefficients(uint32_t phase) {
  if (exact_) return table_.get() + (size_t)phase * taps_;
  uint64_t position = (uint64_t)phase * phases_;
  uint32_t row = (uint32_t)(position / up_);
  float w = (float)(position % up_) / (float)up_;
  const float* a = table_.get() + (size_t)row * taps_;
  const float* b = a + taps_;
  float* s = scratch_.get();
  for (uint32_t j = 0; j < taps_; ++j) s[j] = a[j] + w * (b[j] - a[j]);
  return s;
}

uint32_t Resampler::Produce(int16_t* const* out, uint32_t maxOut, bool end) {
  if (!history_) return 0;
  uint32_t limit;  // outputs whose time lies before this sample index can be made
  if (end) {
    for (int ch = 0; ch < channels_; ++ch) memset(InputArea(ch), 0, sizeof(float) * pad_);
    limit = fill_;
  } else {
    limit = fill_ > half_ ? fill_ - half_ : 0;
  }
  // The stepping state lives in locals: the stores to out cannot be seen to leave it alone.
  uint32_t k = 0, next = next_, phase = phase_;
  const uint32_t taps = taps_, half = half_, up = up_, stepWhole = stepWhole_, stepPart = stepPart_;
  const float* left = history_.get();
  const float* right = left + capacity_;
  int16_t* outLeft = out[0];
  for (; k < maxOut && next < limit; ++k) {
    const float* h = exact_ ? table_.get() + (size_t)phase * taps : Coefficients(phase);
    const uint32_t from = next + 1 - half;
    if (channels_ == 2) {
      float l, r;
      DotStereo(h, left + from, right + from, taps, &l, &r);
      outLeft[k] = RoundToSample16(l);
      out[1][k] = RoundToSample16(r);
    } else {
      outLeft[k] = RoundToSample16(DotMono(h, left + from, taps));
    }
    // One output's step: whole input samples and a remainder, without a division.
    next += stepWhole;
    phase += stepPart;
    if (phase >= up) {
      phase -= up;
      ++next;
    }
  }
  next_ = next;
  phase_ = phase;
  // Keep only what later outputs reach back to.
  uint32_t keepFrom = next_ + 1 > half_ ? next_ + 1 - half_ : 0;
  if (keepFrom > fill_) keepFrom = fill_;
  if (keepFrom > 0) {
    for (int ch = 0; ch < channels_; ++ch) {
      float* row = history_.get() + (size_t)ch * capacity_;
      memmove(row, row + keepFrom, sizeof(float) * (fill_ - keepFrom));
    }
    next_ -= keepFrom;
    fill_ -= keepFrom;
  }
  return k;
}

uint64_t Resampler::OutputFrames(uint64_t inputFrames) const { return inputFrames * up_ / down_; }
