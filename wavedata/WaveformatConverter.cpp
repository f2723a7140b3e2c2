#include "wavedata/WaveformatConverter.h"

#include <cstring>
#include <new>

#include "core/ErrorCodes.h"
#include "wavedata/WaveFile.h"

namespace {
constexpr uint32_t kRateTolerance = 10;  // Hz; closer rates play unchanged
constexpr uint32_t kLowestRate = 8000;
constexpr uint32_t kHighestRate = 192000;

// A format whose fields agree with each other: one or two channels of an encoding
// the converter reads, frames exactly as wide as the samples they hold.
bool Consistent(const WAVEFORMATEX& f) {
  if (f.nChannels != 1 && f.nChannels != 2) return false;
  uint32_t bytes = SampleBytes(EncodingOf(f));
  return bytes != 0 && f.nBlockAlign == bytes * f.nChannels;
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
  encoding_ = EncodingOf(fileFormat);
  hostRate_ = reference.nSamplesPerSec;
  bitsDiffer_ = fileFormat.wBitsPerSample != reference.wBitsPerSample || encoding_ != SampleEncoding::kSigned16;
  uint32_t a = fileFormat.nSamplesPerSec, b = reference.nSamplesPerSec;
  rateDiffers_ = (a > b ? a - b : b - a) >= kRateTolerance;
  split_ = splitStereo && fileFormat.nChannels == 2;
  // Contradicting header fields must never be played as they come nor size a buffer.
  formatInvalid_ = !Consistent(fileFormat) || a < kLowestRate || a > kHighestRate;
  // What reaches the host: 16-bit at the host's rate, one channel per buffer.
  if (bitsDiffer_ || rateDiffers_) {
    MakePcmFormat(&target_, rateDiffers_ ? reference.nSamplesPerSec : a, fileFormat.nChannels,
                  reference.wBitsPerSample);
  }
  lastError_ = 0;
  if (!bitsDiffer_ && !rateDiffers_ && !split_ && !formatInvalid_) return Outcome::NoConversionNeeded;
  return 0;
}

// *readSize is what each Convert takes at most: the caller sizes its read buffer by it.
int WaveformatConverter::AllocateBuffers(uint32_t blockSize, uint32_t* readSize) {
  FreeBuffers();
  if (readSize) *readSize = 0;
  readSize_ = 0;
  if (formatInvalid_) return Fail(Error::FormatNotConvertible);
  if (split_ && blockSize > UINT32_MAX / 2) return Fail(Error::OutOfMemory);
  resampling_ = rateDiffers_;
  outFrames_ = blockSize / 2;
  uint64_t read;
  if (resampling_) {
    if (outFrames_ > 0) {
      int code = resampler_.Setup(source_.nSamplesPerSec, hostRate_, split_ ? 2 : 1, outFrames_);
      if (code != 0) return Fail(code);
    }
    read = (uint64_t)(outFrames_ > 0 ? resampler_.MaxPush() : 0) * source_.nBlockAlign;
  } else if (bitsDiffer_) {
    read = (uint64_t)outFrames_ * source_.nBlockAlign;
  } else {
    read = split_ ? 2ull * blockSize : blockSize;
  }
  if (read > UINT32_MAX / 2) return Fail(Error::OutOfMemory);
  first_.reset(new (std::nothrow) uint8_t[blockSize ? blockSize : 1]);
  if (split_ && first_) second_.reset(new (std::nothrow) uint8_t[blockSize ? blockSize : 1]);
  if (!first_ || (split_ && !second_)) {
    first_.reset();
    return Fail(Error::OutOfMemory);
  }
  memset(first_.get(), 0, blockSize);
  if (second_) memset(second_.get(), 0, blockSize);
  bufferSize_ = blockSize;
  readSize_ = (uint32_t)read;
  buffersAllocated_ = true;
  if (readSize) *readSize = readSize_;
  lastError_ = 0;
  return 0;
}

uint32_t WaveformatConverter::InputBytesWanted(uint32_t outFrames) const {
  if (!buffersAllocated_) return 0;
  if (!resampling_) return readSize_;
  return resampler_.FramesWanted(outFrames < outFrames_ ? outFrames : outFrames_) * source_.nBlockAlign;
}

void WaveformatConverter::Reset() {
  if (resampling_ && buffersAllocated_) resampler_.Reset();
}

uint64_t WaveformatConverter::OutputFrames(uint64_t inputFrames) const {
  if (!rateDiffers_ || source_.nSamplesPerSec == 0) return inputFrames;
  return inputFrames * hostRate_ / source_.nSamplesPerSec;
}

// On the streaming thread: touches only the buffers made before, never allocates.
uint32_t WaveformatConverter::Convert(const uint8_t* input, uint32_t length, bool end, uint32_t outFrames) {
  if (!buffersAllocated_ || !input || source_.nBlockAlign == 0) return 0;
  if (length > readSize_) length = readSize_;
  const uint32_t stride = source_.nBlockAlign;
  const uint32_t sampleBytes = stride / source_.nChannels;
  const int channels = split_ ? 2 : 1;
  int16_t* out[2] = {reinterpret_cast<int16_t*>(first_.get()), reinterpret_cast<int16_t*>(second_.get())};
  if (resampling_) {
    uint32_t frames = length / stride;
    uint32_t space = resampler_.InputSpace();
    if (frames > space) frames = space;
    for (int ch = 0; ch < channels; ++ch)
      DecodeSamples(input + ch * sampleBytes, frames, stride, encoding_, resampler_.InputArea(ch));
    resampler_.Commit(frames);
    return resampler_.Produce(out, outFrames < outFrames_ ? outFrames : outFrames_, end) * 2;
  }
  if (bitsDiffer_) {
    // One sample at a time through a small float block: the buffers hold whole blocks.
    uint32_t frames = length / stride;
    if (frames > outFrames_) frames = outFrames_;
    float values[256];
    for (int ch = 0; ch < channels; ++ch) {
      for (uint32_t done = 0; done < frames;) {
        uint32_t n = frames - done < 256 ? frames - done : 256;
        DecodeSamples(input + (size_t)done * stride + ch * sampleBytes, n, stride, encoding_, values);
        for (uint32_t i = 0; i < n; ++i) out[ch][done + i] = RoundToSample16(values[i]);
        done += n;
      }
    }
    return frames * 2;
  }
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
