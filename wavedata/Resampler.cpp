#include "wavedata/Resampler.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "core/ErrorCodes.h"
#include "wavedata/SampleRounding.h"

namespace {
constexpr double kPi = 3.14159265358979323846;
// Stop band attenuation of every stage, in dB: a full-scale tone there leaves less
// than half a 16-bit step, which rounds to silence.
constexpr double kAttenuationDb = 100.0;
// Edges as fractions of the output rate when the rate goes down: flat to 20 kHz at
// 44.1 kHz, stopped from its Nyquist frequency, so nothing folds back.
constexpr double kDownPassEdge = 0.4535;
constexpr double kDownStopEdge = 0.5;
// Edges as fractions of the input rate when the rate goes up: flat to 0.45 of it;
// images are stopped from 0.55 of it (those of the input between 0.45 and 0.5 of its
// rate, where recordings hold little, are only partly stopped below 0.55).
constexpr double kUpPassEdge = 0.45;
constexpr double kUpStopEdge = 0.55;
// Rational steps with more phases than this use an interpolated table of this size.
constexpr uint32_t kMaxExactPhases = 2048;
constexpr uint32_t kInterpolatedPhases = 1024;

// The filter's sums run four lanes at a time (SSE2) or eight (AVX with FMA); Dot sums
// one output at a time where the processor has neither.
typedef float Float4 __attribute__((vector_size(16)));
typedef float Float8 __attribute__((vector_size(32)));
// The same lanes read from any float address.
typedef float Float4Unaligned __attribute__((vector_size(16), aligned(4), may_alias));
typedef float Float8Unaligned __attribute__((vector_size(32), aligned(4), may_alias));
#define Load4(p) (*reinterpret_cast<const Float4Unaligned*>(p))

typedef int32_t Int4 __attribute__((vector_size(16)));

// W lanes of taps and samples: loads, and the lanes folded to four (lane i of the
// four holds the taps i, i + 4, ... of its output).
template <int W>
struct Lanes;
template <>
struct Lanes<4> {
  typedef Float4 V;
  __attribute__((always_inline)) static const Float4Unaligned& Load(const float* p) { return Load4(p); }
  __attribute__((always_inline)) static void Fold(const V& v, Float4* four) { *four = v; }
};
template <>
struct Lanes<8> {
  typedef Float8 V;
  __attribute__((always_inline)) static const Float8Unaligned& Load(const float* p) {
    return *reinterpret_cast<const Float8Unaligned*>(p);
  }
  __attribute__((always_inline)) static void Fold(const V& v, Float4* four) {
    *four = Float4{v[0], v[1], v[2], v[3]} + Float4{v[4], v[5], v[6], v[7]};
  }
};

// The four lanes of each of four sums added up, one lane per sum, in the same order
// for every output. (Vectors pass by reference: the i686 build has no vector registers.)
__attribute__((always_inline)) inline void AddAcross(const Float4& a, const Float4& b, const Float4& c, const Float4& d,
                                                     Float4* sums) {
  Float4 ab = __builtin_shuffle(a, b, Int4{0, 4, 1, 5}) + __builtin_shuffle(a, b, Int4{2, 6, 3, 7});
  Float4 cd = __builtin_shuffle(c, d, Int4{0, 4, 1, 5}) + __builtin_shuffle(c, d, Int4{2, 6, 3, 7});
  *sums = __builtin_shuffle(ab, cd, Int4{0, 1, 4, 5}) + __builtin_shuffle(ab, cd, Int4{2, 3, 6, 7});
}

// Four sums rounded to 16-bit samples exactly as RoundToSample16 rounds one.
__attribute__((always_inline)) inline void Round4(const Float4& sums, int16_t* out, uint32_t count) {
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

// The sums of a group of four outputs: output k applies the taps at h[k] (h[0] for
// every output when kShared) to the samples at x[k], W lanes at a time, then four
// (taps is a multiple of four). With kBoth the samples other floats further on (the
// right channel) are summed too, into *right. Each output's sum takes the same steps
// whatever else is in its group, so an output never depends on where a block ends.
template <int W, bool kShared, bool kBoth>
__attribute__((always_inline)) inline void GroupSums(const float* const* h, const float* const* x, size_t other,
                                                     uint32_t taps, Float4* left, Float4* right) {
  typedef Lanes<W> L;
  typename L::V l0 = {}, l1 = {}, l2 = {}, l3 = {}, r0 = {}, r1 = {}, r2 = {}, r3 = {};
  const float *h0 = h[0], *h1 = kShared ? h[0] : h[1], *h2 = kShared ? h[0] : h[2], *h3 = kShared ? h[0] : h[3];
  const float *x0 = x[0], *x1 = x[1], *x2 = x[2], *x3 = x[3];
  uint32_t j = 0;
  for (; j + W <= taps; j += W) {
    typename L::V t0 = L::Load(h0 + j), t1 = kShared ? t0 : L::Load(h1 + j), t2 = kShared ? t0 : L::Load(h2 + j),
                  t3 = kShared ? t0 : L::Load(h3 + j);
    l0 += t0 * L::Load(x0 + j);
    if (kBoth) r0 += t0 * L::Load(x0 + other + j);
    l1 += t1 * L::Load(x1 + j);
    if (kBoth) r1 += t1 * L::Load(x1 + other + j);
    l2 += t2 * L::Load(x2 + j);
    if (kBoth) r2 += t2 * L::Load(x2 + other + j);
    l3 += t3 * L::Load(x3 + j);
    if (kBoth) r3 += t3 * L::Load(x3 + other + j);
  }
  Float4 a0, a1, a2, a3, b0, b1, b2, b3;
  L::Fold(l0, &a0);
  L::Fold(l1, &a1);
  L::Fold(l2, &a2);
  L::Fold(l3, &a3);
  L::Fold(r0, &b0);
  L::Fold(r1, &b1);
  L::Fold(r2, &b2);
  L::Fold(r3, &b3);
  if (j < taps) {  // eight lanes: the last four taps
    Float4 t0 = Load4(h0 + j), t1 = Load4(h1 + j), t2 = Load4(h2 + j), t3 = Load4(h3 + j);
    a0 += t0 * Load4(x0 + j);
    a1 += t1 * Load4(x1 + j);
    a2 += t2 * Load4(x2 + j);
    a3 += t3 * Load4(x3 + j);
    if (kBoth) {
      b0 += t0 * Load4(x0 + other + j);
      b1 += t1 * Load4(x1 + other + j);
      b2 += t2 * Load4(x2 + other + j);
      b3 += t3 * Load4(x3 + other + j);
    }
  }
  AddAcross(a0, a1, a2, a3, left);
  if (kBoth) AddAcross(b0, b1, b2, b3, right);
}

// A stereo group's eight sums and its taps fit the sixteen vector registers of
// x86_64; the i686 build has eight, and sums one channel after the other.
#if defined(__x86_64__)
constexpr bool kJointStereo = true;
#else
constexpr bool kJointStereo = false;
#endif

// A group's sums for every channel: sums[ch], the right channel other floats on.
template <int W, bool kShared>
__attribute__((always_inline)) inline void ChannelSums(const float* const* h, const float* const* x, size_t other,
                                                       uint32_t taps, int channels, Float4* sums) {
  if (channels == 2 && kJointStereo) {
    GroupSums<W, kShared, true>(h, x, other, taps, &sums[0], &sums[1]);
    return;
  }
  GroupSums<W, kShared, false>(h, x, 0, taps, &sums[0], nullptr);
  if (channels == 2) {
    const float* right[4] = {x[0] + other, x[1] + other, x[2] + other, x[3] + other};
    GroupSums<W, kShared, false>(h, right, 0, taps, &sums[1], nullptr);
  }
}

// The vector sums need SSE2, the wide ones AVX and FMA (the file is compiled with
// -ffp-contract=fast, so that each product and sum there is one FMA). The x86_64 build always has SSE2;
// the i686 build (x87) compiles them for SSE2 too. Each is taken where the processor
// has it (the stack is realigned for them on the way in).
#if defined(__SSE2__)
#define VECTOR_KERNELS
#define WIDE_KERNELS __attribute__((target("avx,fma")))
#else
#define VECTOR_KERNELS __attribute__((target("sse2"), force_align_arg_pointer))
#define WIDE_KERNELS __attribute__((target("avx,fma"), force_align_arg_pointer))
#endif

// Without SSE2 each output is summed alone, by the same instructions for every
// output: x87 keeps some values in 80-bit registers and rounds others to floats in
// memory, so lanes side by side would round differently, and an output's value
// would depend on where a block ends. Not inlined, so that every call runs the very
// same code. Four sums in turn, so that no addition waits for the one before (taps
// are a multiple of four); they fit the x87 register stack.
__attribute__((noinline)) float Dot(const float* h, const float* x, uint32_t taps) {
  float a = 0.0f, b = 0.0f, c = 0.0f, d = 0.0f;
  for (uint32_t j = 0; j < taps; j += 4) {
    a += h[j] * x[j];
    b += h[j + 1] * x[j + 1];
    c += h[j + 2] * x[j + 2];
    d += h[j + 3] * x[j + 3];
  }
  return (a + b) + (c + d);
}

// One value rounded as Round4 rounds four; not inlined, like Dot, so that every
// output is rounded by the very same code.
__attribute__((noinline)) int16_t Round1(float value) { return RoundToSample16(value); }

// Drops the samples of a line before from; from is taken off the indices held.
void Discard(float* data, uint32_t capacity, int channels, uint32_t from, uint32_t fill) {
  for (int ch = 0; ch < channels; ++ch) {
    float* row = data + (size_t)ch * capacity;
    memmove(row, row + from, sizeof(float) * (fill - from));
  }
}

uint64_t Gcd(uint64_t a, uint64_t b) {
  while (b) {
    uint64_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

// The modified Bessel function of order 0, by its power series.
double BesselI0(double x) {
  double sum = 1.0, term = 1.0, q = x * x / 4.0;
  for (int k = 1; k < 200; ++k) {
    term *= q / ((double)k * k);
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

constexpr double kBeta = 0.1102 * (kAttenuationDb - 8.7);

// Taps a Kaiser-windowed sinc needs for a transition width (cycles per sample).
double KaiserLength(double width) { return (kAttenuationDb - 7.95) / (2.285 * 2.0 * kPi * width) + 1; }

// The Kaiser window at u (-1 to 1) times the sinc of cutoff (cycles per sample) at x samples.
double WindowedSinc(double x, double u, double cutoff, double i0beta) {
  double window = u * u < 1.0 ? BesselI0(kBeta * std::sqrt(1.0 - u * u)) / i0beta : 0.0;
  double arg = 2.0 * cutoff * x;
  double sinc = std::fabs(arg) < 1e-12 ? 1.0 : std::sin(kPi * arg) / (kPi * arg);
  return 2.0 * cutoff * sinc * window;
}

// Odd taps of a half-band stage (rate r to r / 2) flat to pass Hz: how many, a
// multiple of four.
uint32_t HalfBandTaps(double rate, double pass) {
  double width = (rate / 2 - 2 * pass) / rate;
  uint32_t reach = (uint32_t)std::ceil((KaiserLength(width) - 1) / 2);  // samples either side
  return (reach + 1 + 3) & ~3u;                                         // odd distances up to reach on both sides
}

// Taps per output of a polyphase stage from rate to out, a multiple of four.
uint32_t PolyphaseTaps(double rate, double out) {
  double width = rate > out ? (kDownStopEdge - kDownPassEdge) * out / rate : kUpStopEdge - kUpPassEdge;
  uint32_t half = ((uint32_t)std::ceil(KaiserLength(width)) + 1) / 2;
  return 2 * ((half + 1) & ~1u);
}
}  // namespace

// Chooses the stages for the two rates, designs their filters and sizes every line
// for maxOut outputs.
int Resampler::Setup(uint32_t inRate, uint32_t outRate, int channels, uint32_t maxOut) {
  table_.reset();
  scratch_.reset();
  line_ = Line();
  for (HalfBand& b : bands_) b = HalfBand();
  halfBands_ = 0;
  taps_ = half_ = phases_ = 0;
  if (inRate == 0 || outRate == 0 || channels < 1 || channels > kMaxChannels || maxOut == 0)
    return Error::FormatNotConvertible;
  channels_ = channels;
  __builtin_cpu_init();
#if defined(__SSE2__)
  const bool sse2 = true;
#else
  const bool sse2 = __builtin_cpu_supports("sse2");
#endif
  widest_ = __builtin_cpu_supports("avx") && __builtin_cpu_supports("fma") ? 8 : sse2 ? 4 : 1;
  lanes_ = widest_;
  uint64_t g = Gcd(inRate, outRate);
  rateIn_ = inRate / g;
  rateOut_ = outRate / g;

  // Half-band stages while the rate is at least twice the output's and halving costs
  // less per output than the polyphase taps it spares. One that ends at the output's
  // rate is flat to the pass edge; one before another stage is flat to the output's
  // Nyquist frequency and stops all that would fold below it.
  const double out = outRate;
  double rate = inRate, pass[kMaxHalfBands];
  while (halfBands_ < kMaxHalfBands && rate >= 2 * out) {
    bool last = (uint64_t)outRate << (halfBands_ + 1) == inRate;
    double p = last ? kDownPassEdge * out : 0.5 * out;
    if (!last && HalfBandTaps(rate, p) * (rate / 2) / out + PolyphaseTaps(rate / 2, out) >= PolyphaseTaps(rate, out))
      break;
    pass[halfBands_++] = p;
    rate /= 2;
    if (last) break;
  }
  polyphase_ = (uint64_t)outRate << halfBands_ != inRate;

  // Lines from the last stage back to the first: each holds what its stage needs for
  // the next line's largest push. The room is allocated after the sizes are known.
  uint64_t push = maxOut;  // what the stage after the one being sized takes at most
  if (polyphase_) {
    uint64_t polyOut = (uint64_t)outRate << halfBands_;
    uint64_t gp = Gcd(polyOut, inRate);
    up_ = (uint32_t)(polyOut / gp);
    down_ = (uint32_t)(inRate / gp);
    stepWhole_ = down_ / up_;
    stepPart_ = down_ % up_;
    taps_ = PolyphaseTaps(rate, out);
    half_ = taps_ / 2;
    exact_ = up_ <= kMaxExactPhases;
    phases_ = exact_ ? up_ : kInterpolatedPhases;
    uint64_t span = ((uint64_t)maxOut * down_ + up_ - 1) / up_ + 2;
    line_.pad = half_ + 1;
    uint64_t capacity = (uint64_t)taps_ + span + line_.pad + 2;
    if (capacity > (1u << 24)) return Error::OutOfMemory;
    line_.capacity = (uint32_t)capacity;
    push = line_.capacity - line_.pad - (half_ - 1);
  }
  for (int i = halfBands_ - 1; i >= 0; --i) {
    HalfBand& b = bands_[i];
    b.count = HalfBandTaps(inRate / (double)(1u << i), pass[i]);
    b.reach = b.count - 1;
    b.input.pad = b.reach + 2;
    uint64_t capacity = 2 * push + 4 * (uint64_t)b.reach + b.input.pad + 8;
    if (capacity > (1u << 24)) return Error::OutOfMemory;
    b.input.capacity = (uint32_t)capacity;
    push = b.input.capacity - b.input.pad - b.reach;
  }
  maxPush_ = (uint32_t)push;

  bool failed = false;
  auto allocate = [&](std::unique_ptr<float[]>& data, size_t size) {
    data.reset(new (std::nothrow) float[size ? size : 1]);
    failed = failed || !data;
  };
  if (polyphase_) {
    allocate(table_, ((size_t)phases_ + 1) * Stride() + 16);
    allocate(scratch_, (size_t)kGroup * taps_);
    allocate(line_.data, (size_t)channels_ * line_.capacity);
  }
  for (int i = 0; i < halfBands_; ++i) {
    allocate(bands_[i].taps, bands_[i].count);
    allocate(bands_[i].input.data, (size_t)channels_ * bands_[i].input.capacity);
    allocate(bands_[i].neighbours, (size_t)channels_ * (bands_[i].input.capacity / 2 + 4));
  }
  if (failed) {
    table_.reset();
    scratch_.reset();
    line_ = Line();
    for (HalfBand& b : bands_) b = HalfBand();
    halfBands_ = 0;
    return Error::OutOfMemory;
  }

  double i0beta = BesselI0(kBeta);
  // A half-band stage's taps: the sinc at a quarter of its rate is zero at every even
  // distance; the odd taps are scaled to sum to one half, so that with the center's
  // half a constant level passes exactly.
  for (int i = 0; i < halfBands_; ++i) {
    HalfBand& b = bands_[i];
    double sum = 0.0, reach = b.reach + 1.0;
    for (uint32_t k = 0; k < b.count; ++k) {
      double x = (double)k * 2 - b.reach;
      sum += WindowedSinc(x, x / reach, 0.25, i0beta);
    }
    for (uint32_t k = 0; k < b.count; ++k) {
      double x = (double)k * 2 - b.reach;
      b.taps[k] = (float)(WindowedSinc(x, x / reach, 0.25, i0beta) * 0.5 / sum);
    }
  }
  if (polyphase_) {
    // Everything in the stage's input samples: the cut-off follows the lower rate.
    double cutoff = rate > out ? (kDownPassEdge + kDownStopEdge) / 2 * out / rate : (kUpPassEdge + kUpStopEdge) / 2;
    // Row p holds the taps for an output p / phases_ of an input sample after the
    // sample at index half_ - 1 of the window; each row sums to 1, so silence and
    // constant levels pass exactly.
    for (size_t p = 0; p <= phases_; ++p) {
      double frac = (double)p / phases_, sum = 0.0;
      float* row = Rows() + p * Stride();
      for (int pass2 = 0; pass2 < 2; ++pass2) {
        for (uint32_t j = 0; j < taps_; ++j) {
          double x = (double)j - (double)(half_ - 1) - frac;
          double tap = WindowedSinc(x, x / (double)half_, cutoff, i0beta);
          if (pass2 == 0)
            sum += tap;
          else
            row[j] = (float)(tap / sum);
        }
      }
    }
    // Going up, the sinc's zeros fall on every other input sample: an output at an
    // input sample's time is that sample.
    if (rate < out) {
      memset(Rows(), 0, sizeof(float) * taps_);
      Rows()[half_ - 1] = 1.0f;
    }
  }
  Reset();
  return 0;
}

void Resampler::Reset() {
  auto clear = [&](Line& line) {
    if (line.data) memset(line.data.get(), 0, sizeof(float) * (size_t)channels_ * line.capacity);
  };
  for (int i = 0; i < halfBands_; ++i) {
    clear(bands_[i].input);
    bands_[i].split = 0;
    bands_[i].center = bands_[i].reach;
    bands_[i].input.fill = bands_[i].reach;
  }
  clear(line_);
  next_ = half_ ? half_ - 1 : 0;
  line_.fill = next_;
  phase_ = 0;
}

uint32_t Resampler::FramesWanted(uint32_t out) const {
  if (out == 0 || !FirstLine().data) return 0;
  // Samples the last stage's line still needs, then back through the half-bands.
  uint64_t want = out;
  if (polyphase_) {
    uint64_t last = next_ + ((uint64_t)phase_ + (uint64_t)(out - 1) * down_) / up_;
    uint64_t need = last + half_ + 1;
    want = need > line_.fill ? need - line_.fill : 0;
  }
  for (int i = halfBands_ - 1; i >= 0 && want > 0; --i) {
    const HalfBand& b = bands_[i];
    uint64_t need = b.center + 2 * (want - 1) + b.reach + 1;
    want = need > b.input.fill ? need - b.input.fill : 0;
  }
  uint32_t space = InputSpace();
  return want > space ? space : (uint32_t)want;
}

void Resampler::Commit(uint32_t frames) {
  uint32_t space = InputSpace();
  FirstLine().fill += frames > space ? space : frames;
}

// The taps for the next output's phase: a row of the table, or two rows blended.
const float* Resampler::Coefficients(uint32_t phase, int slot) {
  if (exact_) return Rows() + (size_t)phase * Stride();
  uint64_t position = (uint64_t)phase * phases_;
  uint32_t row = (uint32_t)(position / up_);
  float w = (float)(position % up_) / (float)up_;
  const float* a = Rows() + (size_t)row * Stride();
  const float* b = a + Stride();
  float* s = scratch_.get() + (size_t)slot * taps_;
  for (uint32_t j = 0; j < taps_; ++j) s[j] = a[j] + w * (b[j] - a[j]);
  return s;
}

template <int kWidth>
__attribute__((always_inline)) inline uint32_t Resampler::RunHalfBand(int i, int16_t* const* out, uint32_t maxOut,
                                                                      bool end, bool* drained) {
  HalfBand& b = bands_[i];
  Line& in = b.input;
  const bool toOut = !polyphase_ && i == halfBands_ - 1;
  Line* next = toOut ? nullptr : i + 1 < halfBands_ ? &bands_[i + 1].input : &line_;
  const uint32_t room = toOut ? maxOut : next->Space();
  const size_t rowSize = in.capacity / 2 + 4;
  // The even samples side by side; after an ended input, with its silence (copied
  // again should more input come).
  uint32_t upTo = (in.fill + 1) / 2;
  if (end)
    for (int ch = 0; ch < channels_; ++ch) memset(in.At(ch) + in.fill, 0, sizeof(float) * in.pad);
  uint32_t splitTo = end ? (in.fill + in.pad) / 2 : upTo;
  for (int ch = 0; ch < channels_; ++ch) {
    const float* from = in.At(ch);
    float* to = b.neighbours.get() + ch * rowSize;
    for (uint32_t k = b.split; k < splitTo; ++k) to[k] = from[2 * k];
  }
  b.split = upTo;
  // Outputs whose center lies before this index can be made.
  const uint32_t limit = end ? in.fill : in.fill > b.reach ? in.fill - b.reach : 0;
  const uint32_t count = b.count, reach = b.reach;
  const float* taps = b.taps.get();
  const float* left = b.neighbours.get();
  uint32_t made = 0, center = b.center;
  if constexpr (kWidth > 1) {
    while (made < room && center < limit) {
      // Four outputs side by side, as in the polyphase stage; a short group repeats
      // its last output. Output n's neighbours start at (center - reach) / 2 + n.
      uint32_t n = 0, centers[kGroup];
      const float* x[kGroup];
      for (; n < kGroup && made + n < room && center < limit; ++n, center += 2) {
        centers[n] = center;
        x[n] = left + (center - reach) / 2;
      }
      for (uint32_t k = n; k < kGroup; ++k) {
        centers[k] = centers[n - 1];
        x[k] = x[n - 1];
      }
      Float4 sums[kMaxChannels];
      ChannelSums<kWidth, true>(&taps, x, rowSize, count, channels_, sums);
      for (int ch = 0; ch < channels_; ++ch) {
        const float* c = in.At(ch);
        sums[ch] += Float4{c[centers[0]], c[centers[1]], c[centers[2]], c[centers[3]]} * 0.5f;
        if (toOut) {
          Round4(sums[ch], out[ch] + made, n);
        } else {
          float* to = next->At(ch) + next->fill + made;
          for (uint32_t k = 0; k < n; ++k) to[k] = sums[ch][k];
        }
      }
      made += n;
    }
  } else {
    for (; made < room && center < limit; ++made, center += 2) {
      const uint32_t at = (center - reach) / 2;
      for (int ch = 0; ch < channels_; ++ch) {
        float value = Dot(taps, left + ch * rowSize + at, count) + 0.5f * in.At(ch)[center];
        if (toOut)
          out[ch][made] = Round1(value);
        else
          next->At(ch)[next->fill + made] = value;
      }
    }
  }
  if (next) next->fill += made;
  b.center = center;
  *drained = center >= in.fill;
  // Keep only what later outputs reach back to (an even count: centers stay odd).
  uint32_t keepFrom = center > reach ? center - reach : 0;
  if (keepFrom > in.fill) keepFrom = in.fill & ~1u;
  if (keepFrom > 0) {
    Discard(in.data.get(), in.capacity, channels_, keepFrom, in.fill);
    uint32_t pairs = keepFrom / 2;
    Discard(b.neighbours.get(), (uint32_t)rowSize, channels_, pairs, b.split > pairs ? b.split : pairs);
    b.split = b.split > pairs ? b.split - pairs : 0;
    b.center -= keepFrom;
    in.fill -= keepFrom;
  }
  return made;
}

template <int kWidth>
__attribute__((always_inline)) inline uint32_t Resampler::RunPolyphase(int16_t* const* out, uint32_t maxOut, bool end) {
  uint32_t limit;  // outputs whose time lies before this sample index can be made
  if (end) {
    for (int ch = 0; ch < channels_; ++ch) memset(line_.At(ch) + line_.fill, 0, sizeof(float) * line_.pad);
    limit = line_.fill;
  } else {
    limit = line_.fill > half_ ? line_.fill - half_ : 0;
  }
  if (up_ == 2 && down_ == 1) return RunDoubling<kWidth>(out, maxOut, limit);
  // Outputs go in groups of four: the sums of a group run side by side, so no
  // addition waits for the one before, and they are added up and rounded together.
  // A short group repeats its last output in the unused lanes, so that every output
  // is summed alike however the blocks fall. The stepping state lives in locals.
  uint32_t k = 0, next = next_, phase = phase_;
  const uint32_t taps = taps_, half = half_, up = up_, stepWhole = stepWhole_, stepPart = stepPart_, stride = Stride();
  const float* rows = Rows();
  const size_t other = line_.capacity;  // from a left sample to the right one
  const float* history = line_.data.get();
  if constexpr (kWidth > 1) {
    while (k < maxOut && next < limit) {
      const float* h[kGroup];
      const float* x[kGroup];
      uint32_t count = 0;
      for (; count < kGroup && k + count < maxOut && next < limit; ++count) {
        h[count] = exact_ ? rows + (size_t)phase * stride : Coefficients(phase, (int)count);
        x[count] = history + (next + 1 - half);
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
      Float4 sums[kMaxChannels];
      ChannelSums<kWidth, false>(h, x, other, taps, channels_, sums);
      for (int ch = 0; ch < channels_; ++ch) Round4(sums[ch], out[ch] + k, count);
      k += count;
    }
  } else {
    for (; k < maxOut && next < limit; ++k) {
      const float* h = exact_ ? rows + (size_t)phase * stride : Coefficients(phase, 0);
      const float* x = history + (next + 1 - half);
      for (int ch = 0; ch < channels_; ++ch) out[ch][k] = Round1(Dot(h, x + ch * other, taps));
      next += stepWhole;
      phase += stepPart;
      if (phase >= up) {
        phase -= up;
        ++next;
      }
    }
  }
  SettleLine(next, phase);
  return k;
}

// Stores the next output's time and keeps only what later outputs reach back to.
void Resampler::SettleLine(uint32_t next, uint32_t phase) {
  next_ = next;
  phase_ = phase;
  uint32_t keepFrom = next_ + 1 > half_ ? next_ + 1 - half_ : 0;
  if (keepFrom > line_.fill) keepFrom = line_.fill;
  if (keepFrom > 0) {
    Discard(line_.data.get(), line_.capacity, channels_, keepFrom, line_.fill);
    next_ -= keepFrom;
    line_.fill -= keepFrom;
  }
}

// Twice the rate: every other output is an input sample itself, and the others,
// halfway between two samples, share one row of taps. Up to four of those are summed
// side by side with the samples between them, as in RunPolyphase.
template <int kWidth>
__attribute__((always_inline)) inline uint32_t Resampler::RunDoubling(int16_t* const* out, uint32_t maxOut,
                                                                      uint32_t limit) {
  uint32_t k = 0, next = next_, phase = phase_;
  const uint32_t taps = taps_, half = half_;
  const size_t other = line_.capacity;
  const float* history = line_.data.get();
  const float* h = Rows() + Stride();
  if constexpr (kWidth > 1) {
    while (k < maxOut && next < limit) {
      const float* x[kGroup];
      uint32_t at[kGroup], count = 0, total = 0;
      for (; k + total < maxOut && next < limit; ++total) {
        if (phase == 0) {
          for (int ch = 0; ch < channels_; ++ch) {
            float v = history[ch * other + next];
            Round4(Float4{v, v, v, v}, out[ch] + k + total, 1);
          }
          phase = 1;
          continue;
        }
        if (count == kGroup) break;
        x[count] = history + (next + 1 - half);
        at[count++] = k + total;
        phase = 0;
        ++next;
      }
      k += total;
      if (count == 0) continue;
      for (uint32_t i = count; i < kGroup; ++i) x[i] = x[count - 1];
      Float4 sums[kMaxChannels];
      ChannelSums<kWidth, true>(&h, x, other, taps, channels_, sums);
      for (int ch = 0; ch < channels_; ++ch) {
        int16_t rounded[kGroup];
        Round4(sums[ch], rounded, count);
        for (uint32_t i = 0; i < count; ++i) out[ch][at[i]] = rounded[i];
      }
    }
  } else {
    for (; k < maxOut && next < limit; ++k) {
      for (int ch = 0; ch < channels_; ++ch)
        out[ch][k] = phase == 0 ? Round1(history[ch * other + next])
                                : Round1(Dot(h, history + ch * other + (next + 1 - half), taps));
      if (phase == 1) ++next;
      phase ^= 1;
    }
  }
  SettleLine(next, phase);
  return k;
}

// Every stage in turn; inlined whole into ProduceFour and ProduceEight, so that their
// sums are compiled for SSE2 and for AVX with FMA there.
template <int kWidth>
__attribute__((always_inline)) inline uint32_t Resampler::Run(int16_t* const* out, uint32_t maxOut, bool end) {
  for (int i = 0; i < halfBands_; ++i) {
    bool drained = false;
    uint32_t made = RunHalfBand<kWidth>(i, out, maxOut, end, &drained);
    if (!polyphase_ && i == halfBands_ - 1) return made;
    // A later stage's input has ended only when this stage has given out all of its own.
    end = end && drained;
  }
  return RunPolyphase<kWidth>(out, maxOut, end);
}

uint32_t Resampler::Produce(int16_t* const* out, uint32_t maxOut, bool end) {
  if (!FirstLine().data) return 0;
  if (lanes_ == 8) return ProduceEight(out, maxOut, end);
  if (lanes_ == 4) return ProduceFour(out, maxOut, end);
  return Run<1>(out, maxOut, end);
}

VECTOR_KERNELS uint32_t Resampler::ProduceFour(int16_t* const* out, uint32_t maxOut, bool end) {
  return Run<4>(out, maxOut, end);
}

WIDE_KERNELS uint32_t Resampler::ProduceEight(int16_t* const* out, uint32_t maxOut, bool end) {
  return Run<8>(out, maxOut, end);
}

int Resampler::UseLanes(int lanes) {
  lanes_ = lanes >= 8 && widest_ >= 8 ? 8 : lanes >= 4 && widest_ >= 4 ? 4 : 1;
  return lanes_;
}

uint64_t Resampler::OutputFrames(uint64_t inputFrames) const { return inputFrames * rateOut_ / rateIn_; }
