// The host's sound output: each period's four channel blocks mixed to stereo
// 16-bit 44100 Hz and queued on the default wave output device, at most
// kQueued periods ahead. The device's clock paces the host: a period is pulled
// only when the device has given a buffer back (WaitForRoom), as an audio
// engine's callback is called when its device wants more.
//
// The mix, the same for every period: a channel that is the left half of a
// stereo pair goes to the left side, its partner to the right side, any other
// channel to both sides at full level; each side is the plain sum of its
// channels' samples, saturated to -32768..32767. A channel that delivered less
// than a block is silent for the rest of it; bytes beyond a block are not heard.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <string>

namespace hostkit {

enum class ChannelRole : LONG { kCentre = 0, kLeft = 1, kRight = 2 };

// Adds `bytes` bytes of 16-bit little-endian mono samples (at most `frames`
// samples) to the stereo sums `sums` (left, right, left, right...) by role.
void MixChannel(int32_t* sums, uint32_t frames, ChannelRole role, const uint8_t* data, int32_t bytes);
// Writes the sums as 16-bit stereo frames, saturated.
void SaturateFrames(const int32_t* sums, uint32_t frames, int16_t* out);

class WaveOutput {
 public:
  static constexpr int kQueued = 3;

  WaveOutput() = default;
  ~WaveOutput() { Close(); }
  WaveOutput(const WaveOutput&) = delete;
  WaveOutput& operator=(const WaveOutput&) = delete;

  // Opens the default wave output device for 16-bit stereo 44100 Hz; false with
  // *error (naming the system's reason) when there is none or it refuses.
  bool Open(std::string* error);
  // Lets the queued periods play out (at most drainMs), then closes the device.
  void Close(DWORD drainMs = 2000);
  bool IsOpen() const { return device_ != nullptr; }

  // Sizes the buffers for periods of `frames` frames (only while nothing is
  // queued: waits for the queue to play out first); false when out of memory.
  bool Prepare(uint32_t frames);
  uint32_t Frames() const { return frames_; }
  // A new stretch of pulls: the device may have run dry since the last one
  // without it being an underrun.
  void StartStretch();

  // Streaming thread, once per period: waits until a buffer is free (at most
  // timeoutMs; false when the device gave none back), then clears the sums.
  bool WaitForRoom(DWORD timeoutMs);
  void Add(ChannelRole role, const uint8_t* data, int32_t bytes) { MixChannel(sums_, frames_, role, data, bytes); }
  // Queues the period's mix; *underrun tells whether the device had run dry
  // before it (inside a stretch). False when the device refused the buffer.
  bool Submit(bool* underrun);
  // Lets the queued periods play out, at most timeoutMs; true when they did.
  bool Drain(DWORD timeoutMs);

  // Of the current stretch: periods queued, underruns, and the time between the
  // first period the device paced (the one after the first kQueued) and the last.
  uint32_t StretchPeriods() const { return stretchPeriods_; }
  uint32_t StretchUnderruns() const { return stretchUnderruns_; }
  uint32_t PacedPeriods() const { return stretchPeriods_ > kQueued + 1 ? stretchPeriods_ - kQueued - 1 : 0; }
  double PacedMs() const;

 private:
  int FreeBuffer() const;
  int Queued() const;
  // The device's position has reached the last frame written.
  bool PlayedAll() const;
  void FreeBuffers();

  HWAVEOUT device_ = nullptr;
  HANDLE done_ = nullptr;  // signalled by the device whenever it gives a buffer back
  WAVEHDR headers_[kQueued] = {};
  int16_t* buffers_[kQueued] = {};
  int32_t* sums_ = nullptr;
  uint32_t frames_ = 0;
  int current_ = -1;
  unsigned long long framesWritten_ = 0;
  uint32_t stretchPeriods_ = 0;
  uint32_t stretchUnderruns_ = 0;
  LARGE_INTEGER pacedStart_ = {}, lastRoom_ = {}, frequency_ = {};
};

}  // namespace hostkit
