#include "wavedata/Resampler.h"

#include <climits>
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

typedef int32_t Int4 __attribute__((vector_size(16)));

// The four lanes of each of four sums added up, one lane per sum, in the same order
// for every output. (Vectors pass by reference: the i686 build has no vector registers.)
inline void AddAcross(const Float4& a, const Float4& b, const Float4& c, const Float4& d, Float4* sums) {
  Float4 ab = __builtin_shuffle(a, b, Int4{0, 4, 1, 5}) + __builtin_shuffle(a, b, Int4{2, 6, 3, 7});
  Float4 cd = __builtin_shuffle(c, d, Int4{0, 4, 1, 5}) + __builtin_shuffle(c, d, Int4{2, 6, 3, 7});
  *sums = __builtin_shuffle(ab, cd, Int4{0, 1, 4, 5}) + __builtin_shuffle(ab, cd, Int4{2, 3, 6, 7});
}

// Four sums rounded to 16-bit samples exactly as RoundToSample16 rounds one.
inline void Round4(const Float4& sums, int16_t* out, uint32_t count) {
  Float4 v = sums;
  const Float4 high = {32767.0f, 32767.0f, 32767.0f, 32767.0f};
  const Float4 low = {-32768.0f, -32768.0f, -32768.0f, -32768.0f};
  v = v > high ? high : v;
  v = v < low ? low : v;
  // The half carries each value's sign; truncation then rounds both ways alike.
  const Int4 sign = {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN};
  v += (Float4)(((Int4)v & sign) | 0x3F000000);
  Int4 whole = __builtin_convertvector(v, Int4) & (v == v);
  for (uint32_t i = 0; i < count; ++i) out[i] = (int16_t)whole[i];
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
  scratch_.reset(new (std::nothrow) float[(size_t)kGroup * taps_]);
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
const float* Resampler::Coefficients(uint32_t phase, int slot) {
  if (exact_) return table_.get() + (size_t)phase * taps_;
  uint64_t position = (uint64_t)phase * phases_;
  uint32_t row = (uint32_t)(position / up_);
  float w = (float)(position % up_) / (float)up_;
  const float* a = table_.get() + (size_t)row * taps_;
  const float* b = a + taps_;
  float* s = scratch_.get() + (size_t)slot * taps_;
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
  uint32_t k = 0, next = next_, phase = phase_;
  const uint32_t taps = taps_, half = half_, up = up_, stepWhole = stepWhole_, stepPart = stepPart_;
  const size_t other = capacity_;  // from a left sample to the right one
#if defined(__SSE__)
  // Outputs go in groups of four: the sums of a group run side by side, so no
  // addition waits for the one before, and they are added up and rounded together.
  // A short group repeats its last output in the unused lanes, so that every output
  // is summed alike however the blocks fall. The stepping state lives in locals.
  while (k < maxOut && next < limit) {
    const float* h[kGroup];
    const float* x[kGroup];
    uint32_t count = 0;
    for (; count < kGroup && k + count < maxOut && next < limit; ++count) {
      h[count] = exact_ ? table_.get() + (size_t)phase * taps : Coefficients(phase, (int)count);
      x[count] = history_.get() + (next + 1 - half);
      // One output's step: whole input samples and a remainder, without a division.
      next += stepWhole;
      phase += stepPart;
      if (phase >= up) {
        phase -= up;
        ++next;
      }
    }
    for (uint32_t i = count; i < kGroup; ++i) {
      h[i] = h[count - 1];
      x[i] = x[count - 1];
    }
    Float4 l0 = {}, l1 = {}, l2 = {}, l3 = {};
    if (channels_ == 2) {
      Float4 r0 = {}, r1 = {}, r2 = {}, r3 = {};
      for (uint32_t j = 0; j < taps; j += 4) {
        Float4 h0 = Load4(h[0] + j), h1 = Load4(h[1] + j), h2 = Load4(h[2] + j), h3 = Load4(h[3] + j);
        l0 += h0 * Load4(x[0] + j);
        r0 += h0 * Load4(x[0] + other + j);
        l1 += h1 * Load4(x[1] + j);
        r1 += h1 * Load4(x[1] + other + j);
        l2 += h2 * Load4(x[2] + j);
        r2 += h2 * Load4(x[2] + other + j);
        l3 += h3 * Load4(x[3] + j);
        r3 += h3 * Load4(x[3] + other + j);
      }
      Float4 right;
      AddAcross(r0, r1, r2, r3, &right);
      Round4(right, out[1] + k, count);
    } else {
      for (uint32_t j = 0; j < taps; j += 4) {
        l0 += Load4(h[0] + j) * Load4(x[0] + j);
        l1 += Load4(h[1] + j) * Load4(x[1] + j);
        l2 += Load4(h[2] + j) * Load4(x[2] + j);
        l3 += Load4(h[3] + j) * Load4(x[3] + j);
      }
    }
    Float4 left;
    AddAcross(l0, l1, l2, l3, &left);
    Round4(left, out[0] + k, count);
    k += count;
  }
#else
  // Without vector registers (the i686 build's x87) one output at a time, by the same
  // instructions for every output: x87 keeps some values in 80-bit registers and
  // rounds others to floats in memory, so sums run side by side in lanes would round
  // differently by lane, and an output's value would depend on where a block ends.
  while (k < maxOut && next < limit) {
    const float* h = exact_ ? table_.get() + (size_t)phase * taps : Coefficients(phase, 0);
    const float* x = history_.get() + (next + 1 - half);
    float left = 0.0f, right = 0.0f;
    if (channels_ == 2) {
      float l0 = 0.0f, l1 = 0.0f, r0 = 0.0f, r1 = 0.0f;
      for (uint32_t j = 0; j < taps; j += 2) {
        l0 += h[j] * x[j];
        r0 += h[j] * x[other + j];
        l1 += h[j + 1] * x[j + 1];
        r1 += h[j + 1] * x[other + j + 1];
      }
      left = l0 + l1;
      right = r0 + r1;
      out[1][k] = RoundToSample16(right);
    } else {
      float l0 = 0.0f, l1 = 0.0f;
      for (uint32_t j = 0; j < taps; j += 2) {
        l0 += h[j] * x[j];
        l1 += h[j + 1] * x[j + 1];
      }
      left = l0 + l1;
    }
    out[0][k] = RoundToSample16(left);
    ++k;
    next += stepWhole;
    phase += stepPart;
    if (phase >= up) {
      phase -= up;
      ++next;
    }
  }
#endif
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
