#include "wavedata/WaveformatConverter.h"

#include <cstring>
#include <new>

#include "core/ErrorCodes.h"

namespace {
constexpr uint32_t kRateTolerance = 10;  // Hz; closer rates play unchanged

// A format whose fields agree with each other: one or two channels of whole bytes,
// frames exactly as wide as the samples they hold.
bool Consistent(const WAVEFORMATEX& f) {
  if (f.nChannels != 1 && f.nChannels != 2) return false;
  if (f.wBitsPerSample == 0 || f.wBitsPerSample % 8 != 0) return false;
  return f.nBlockAlign == (f.wBitsPerSample / 8) * f.nChannels;
}
}  // namespace

WaveformatConverter::WaveformatConverter() {
  classId_ = kWaveformatConverter;
  memset(&source_, 0, sizeof source_);
  memset(&target_, 0, sizeof target_);
}

WaveformatConverter::~WaveformatConverter() = default;

// Decides from the header alone whether a file needs buffers at all, so that a
// file that cannot play fails before anything is allocated.
int WaveformatConverter::Setup(const WAVEFORMATEX& fileFormat, const WAVEFORMATEX& reference, bool splitStereo) {
  source_ = fileFormat;
  target_ = fileFormat;
  bitsDiffer_ = fileFormat.wBitsPerSample != reference.wBitsPerSample;
  uint32_t a = fileFormat.nSamplesPerSec, b = reference.nSamplesPerSec;
  rateDiffers_ = (a > b ? a - b : b - a) >= kRateTolerance;
  split_ = splitStereo && fileFormat.nChannels == 2;
  // Contradicting header fields must never be played as they come nor size a buffer.
  formatInvalid_ = !Consistent(fileFormat);
  lastError_ = 0;
  if (!bitsDiffer_ && !rateDiffers_ && !split_ && !formatInvalid_) return Outcome::NoConversionNeeded;
  return 0;
}

// *readSize is what each Convert takes at most: the caller sizes its read buffer by it.
int WaveformatConverter::AllocateBuffers(uint32_t blockSize, uint32_t* readSize) {
  FreeBuffers();
  if (readSize) *readSize = 0;
  readSize_ = 0;
  if (bitsDiffer_ || rateDiffers_ || formatInvalid_) return Fail(Error::FormatNotConvertible);
  if (split_ && blockSize > UINT32_MAX / 2) return Fail(Error::OutOfMemory);
  first_.reset(new (std::nothrow) uint8_t[blockSize]);
  if (split_ && first_) second_.reset(new (std::nothrow) uint8_t[blockSize]);
  if (!first_ || (split_ && !second_)) {
    first_.reset();
    return Fail(Error::OutOfMemory);
  }
  memset(first_.get(), 0, blockSize);
  if (second_) memset(second_.get(), 0, blockSize);
  bufferSize_ = blockSize;
  readSize_ = split_ ? 2 * blockSize : blockSize;
  buffersAllocated_ = true;
  if (readSize) *readSize = readSize_;
  lastError_ = 0;
  return 0;
}

// On the streaming thread: touches only the buffers made before, never allocates.
uint32_t WaveformatConverter::Convert(const uint8_t* input, uint32_t length) {
  if (!buffersAllocated_ || !input || source_.nBlockAlign == 0) return 0;
  if (length > readSize_) length = readSize_;
  if (split_) {
    SplitStereo(input, length);
    return (length / source_.nBlockAlign) * target_.nBlockAlign / 2;
  }
  memset(first_.get(), 0, bufferSize_);
  memcpy(first_.get(), input, length);
  return (length / source_.nBlockAlign) * target_.nBlockAlign;
}

// Left samples to the first buffer, right ones to the second: each half of a stereo
// file plays on a channel of its own.
void WaveformatConverter::SplitStereo(const uint8_t* input, uint32_t length) {
  if (!buffersAllocated_ || !second_ || !input || target_.nBlockAlign == 0) return;
  uint32_t stride = target_.nBlockAlign;
  uint32_t frames = length / stride;
  if (target_.wBitsPerSample == 16) {
    if (stride < 4) return;
    if (frames > bufferSize_ / 2) frames = bufferSize_ / 2;
    for (uint32_t i = 0; i < frames; ++i) {
      const uint8_t* frame = input + i * stride;
      memcpy(first_.get() + 2 * i, frame, 2);
      memcpy(second_.get() + 2 * i, frame + 2, 2);
    }
    return;
  }
  if (stride < 2) return;
  if (frames > bufferSize_) frames = bufferSize_;
  for (uint32_t i = 0; i < frames; ++i) {
    first_[i] = input[i * stride];
    second_[i] = input[i * stride + 1];
  }
}

// A closed channel's converter may wait a while among the retired buffers: its
// memory goes now, the object later.
void WaveformatConverter::FreeBuffers() {
  first_.reset();
  second_.reset();
  bufferSize_ = 0;
  buffersAllocated_ = false;
}
