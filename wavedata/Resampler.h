// A band-limited sample-rate converter for one or two channels: a polyphase FIR
// whose taps are a Kaiser-windowed sinc. The time of each output sample is kept as
// an exact fraction of input samples, so a stream never drifts; its history runs on
// through every block, and through a loop's restart when the caller keeps feeding.
// Everything is allocated by Setup; Push, Produce and Reset allocate nothing.
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
  float* InputArea(int ch) { return history_.get() + (size_t)ch * capacity_ + fill_; }
  uint32_t InputSpace() const { return capacity_ - pad_ - fill_; }
  // Takes frames samples written at InputArea of every channel.
  void Commit(uint32_t frames);
  // Up to maxOut output frames, rounded to 16 bits, into out[ch]. With end set the
  // input has ended: the samples after it count as silence, and the output runs up
  // to the time of the last input sample.
  uint32_t Produce(int16_t* const* out, uint32_t maxOut, bool end);

  // Output frames a stream of inputFrames gives, rounded down.
  uint64_t OutputFrames(uint64_t inputFrames) const;
  // Taps per output sample and filter phases in the table (for the benchmark's notes).
  uint32_t Taps() const { return taps_; }
  uint32_t Phases() const { return phases_; }

 private:
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
  uint32_t capacity_ = 0;  // samples per channel in history_
  uint32_t pad_ = 0;       // room kept for the silence after an ended input
  uint32_t maxPush_ = 0;
  std::unique_ptr<float[]> table_;    // (phases_ + 1) rows of taps_
  std::unique_ptr<float[]> history_;  // channels_ rows of capacity_
  std::unique_ptr<float[]> scratch_;  // kGroup interpolated rows
  // The next output's time: sample index next_ in history_ plus phase_ / up_.
  uint32_t next_ = 0;
  uint32_t phase_ = 0;
  uint32_t fill_ = 0;  // samples held per channel
};
