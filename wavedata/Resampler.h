// A band-limited sample-rate converter for one or two channels. A rate of at least
// twice the output's first passes through half-band stages, each halving it (an exact
// halving to the output's rate ends there); then a polyphase FIR whose taps are a
// Kaiser-windowed sinc makes the output's rate. Flat to 20 kHz at 44.1 kHz (0.4535 of
// the output rate) within 0.01 dB, and 100 dB down from the output's Nyquist on; from
// a lower rate flat to 0.45 of it, its images stopped from 0.55 of it on. The time of
// each output sample is kept as an exact fraction of input samples, so a stream never
// drifts; its history runs on through every block, and through a loop's restart when
// the caller keeps feeding. Everything is allocated by Setup; Commit, Produce and
// Reset allocate nothing.
#pragma once
#include <cstdint>
#include <memory>

class Resampler {
 public:
  static constexpr int kMaxChannels = 2;

  // Prepares inRate -> outRate for channels (1 or 2), at most maxOut output frames
  // per Produce. 0, or 19 when memory runs out; 17 for rates or channels it cannot take.
  int Setup(uint32_t inRate, uint32_t outRate, int channels, uint32_t maxOut);
  // Back to the start of a stream: silence before it, no input pending.
  void Reset();

  // Input frames to push so that the next Produce can give out frames.
  uint32_t FramesWanted(uint32_t out) const;
  // The most input frames one push can take; at least FramesWanted(maxOut).
  uint32_t MaxPush() const { return maxPush_; }
  // Where channel ch's next input samples go (in 16-bit units), and how many fit.
  float* InputArea(int ch) { return FirstLine().At(ch) + FirstLine().fill; }
  uint32_t InputSpace() const { return FirstLine().Space(); }
  // Takes frames samples written at InputArea of every channel.
  void Commit(uint32_t frames);
  // Up to maxOut output frames, rounded to 16 bits, into out[ch]. With end set the
  // input has ended: the samples after it count as silence, and the output runs up
  // to the time of the last input sample.
  uint32_t Produce(int16_t* const* out, uint32_t maxOut, bool end);

  // Sums in lanes of eight (AVX with FMA), four (SSE2) or one output at a time (as on a
  // processor with neither), for the tests of each path; never wider than the
  // processor has, which Setup takes. Returns the lanes taken.
  int UseLanes(int lanes);

  // Output frames a stream of inputFrames gives, rounded down.
  uint64_t OutputFrames(uint64_t inputFrames) const;
  // Taps per output sample of the polyphase stage (0 when there is none), filter
  // phases in its table, and the half-band stages before it (for the benchmark's notes).
  uint32_t Taps() const { return taps_; }
  uint32_t Phases() const { return phases_; }
  int HalfBands() const { return halfBands_; }

 private:
  static constexpr int kMaxHalfBands = 3;
  // Samples of every channel waiting for a stage: channels rows of capacity floats.
  // fill samples are held, pad more are kept free for the silence after an ended input.
  struct Line {
    std::unique_ptr<float[]> data;
    uint32_t capacity = 0;
    uint32_t fill = 0;
    uint32_t pad = 0;
    float* At(int ch) const { return data.get() + (size_t)ch * capacity; }
    uint32_t Space() const { return capacity - pad - fill; }
  };
  // A stage halving the rate: an output is 0.5 x[center] plus the taps applied to the
  // samples an odd distance from it (the taps at even distances are zero). Centers
  // lie at odd indices, so the samples the taps reach are those at even indices,
  // copied side by side into neighbours for the sums.
  struct HalfBand {
    std::unique_ptr<float[]> taps;  // count taps, for the samples from center - reach on, every second
    uint32_t count = 0;             // a multiple of four
    uint32_t reach = 0;             // count - 1: the farthest sample used on either side
    uint32_t center = 0;            // the next output's center in input
    Line input;
    std::unique_ptr<float[]> neighbours;  // channels rows of input.capacity / 2 + 4: input[2k] at k
    uint32_t split = 0;                   // neighbours copied so far
  };
  const Line& FirstLine() const { return halfBands_ ? bands_[0].input : line_; }
  Line& FirstLine() { return halfBands_ ? bands_[0].input : line_; }
  // The stages with their sums four lanes wide (SSE2) or eight (AVX with FMA); Run<1> sums
  // one output at a time (x87).
  uint32_t ProduceFour(int16_t* const* out, uint32_t maxOut, bool end);
  uint32_t ProduceEight(int16_t* const* out, uint32_t maxOut, bool end);
  template <int kWidth>
  uint32_t Run(int16_t* const* out, uint32_t maxOut, bool end);
  // Runs half-band stage i into the next stage's line (or, the last stage without a
  // polyphase stage, into out). Returns the outputs made; *drained tells whether its
  // input is used up to its end.
  template <int kWidth>
  uint32_t RunHalfBand(int i, int16_t* const* out, uint32_t maxOut, bool end, bool* drained);
  template <int kWidth>
  uint32_t RunPolyphase(int16_t* const* out, uint32_t maxOut, bool end);
  template <int kWidth>
  uint32_t RunDoubling(int16_t* const* out, uint32_t maxOut, uint32_t limit);
  void SettleLine(uint32_t next, uint32_t phase);
  // Outputs summed side by side.
  static constexpr int kGroup = 4;
  // The taps for an output at phase / up_ of an input sample; an interpolated row
  // goes to scratch row slot.
  const float* Coefficients(uint32_t phase, int slot);

  uint32_t up_ = 1;    // output samples per ...
  uint32_t down_ = 1;  // ... this many input samples, in lowest terms
  uint32_t stepWhole_ = 1;  // down_ / up_
  uint32_t stepPart_ = 0;   // down_ % up_
  int channels_ = 1;
  uint32_t half_ = 0;     // taps on each side of an output's time
  uint32_t taps_ = 0;     // 2 x half_
  uint32_t phases_ = 0;   // rows in the table; up_ when exact, else interpolated
  bool exact_ = true;
  int widest_ = 4;  // the widest lanes the processor has: 8, 4 or 1
  int lanes_ = 4;   // the lanes the sums take
  bool polyphase_ = true;  // false when the half-band stages end at the output's rate
  uint64_t rateIn_ = 1, rateOut_ = 1;  // the whole conversion, in lowest terms
  uint32_t maxPush_ = 0;
  int halfBands_ = 0;
  HalfBand bands_[kMaxHalfBands];
  std::unique_ptr<float[]> table_;    // (phases_ + 1) rows of taps_, Stride() apart from Rows() on
  // From one row to the next: taps_ rounded up to a 64-byte cache line.
  uint32_t Stride() const { return (taps_ + 15) & ~15u; }
  // The first row, on a cache line, so that no row's loads straddle two lines.
  float* Rows() const {
    return reinterpret_cast<float*>((reinterpret_cast<uintptr_t>(table_.get()) + 63) & ~(uintptr_t)63);
  }
  std::unique_ptr<float[]> scratch_;  // kGroup interpolated rows
  Line line_;                         // the polyphase stage's input
  // The next output's time: sample index next_ in line_ plus phase_ / up_.
  uint32_t next_ = 0;
  uint32_t phase_ = 0;
};
