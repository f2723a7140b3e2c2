// Checks a file's sample format against the host format and, while the file plays,
// turns each block into the host's: 16-bit samples (rounded, clipped) at the host's
// rate (resampled), a stereo block split into a left and a right mono buffer.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <memory>

#include "core/Object.h"
#include "wavedata/Resampler.h"
#include "wavedata/SampleFormat.h"

class WaveformatConverter : public Object {
 public:
  WaveformatConverter();
  ~WaveformatConverter() override;
  WaveformatConverter(const WaveformatConverter&) = delete;
  WaveformatConverter& operator=(const WaveformatConverter&) = delete;

  // Measures the file format against the reference. 202 when the file plays
  // unchanged, else 0 (then AllocateBuffers decides). A format whose channel count
  // is not 1 or 2 or whose block align disagrees with bits and channels never yields 202.
  int Setup(const WAVEFORMATEX& fileFormat, const WAVEFORMATEX& reference, bool splitStereo);
  // Frees earlier buffers, then allocates output buffers of blockSize bytes (two when
  // splitting) and, for another rate, the resampler's. *readSize receives the most
  // bytes one block reads (2 x blockSize for 16-bit stereo at the host's rate).
  // 0; 17 format cannot be played; 19 out of memory.
  int AllocateBuffers(uint32_t blockSize, uint32_t* readSize);
  // Real-time path: converts one block read from the file into the output buffers and
  // returns the bytes in each. Allocates nothing, reports nothing; input beyond the
  // buffers is ignored; 0 without buffers. end says that the data has ended with
  // this input (a resampled stream then gives out its last samples). A resampled
  // stream gives at most outFrames samples (a block's by default).
  uint32_t Convert(const uint8_t* input, uint32_t length, bool end = false, uint32_t outFrames = UINT32_MAX);
  // Bytes the next Convert should be given for outFrames output samples (a whole
  // block's by default): the read size, or for a resampled file what its filter needs next.
  uint32_t InputBytesWanted(uint32_t outFrames = UINT32_MAX) const;
  // A rewound file starts again from silence. Allocates nothing.
  void Reset();
  // Whether the rate is converted (then reads vary in size and the stream's history
  // runs through a loop's restart).
  bool Resampling() const { return resampling_; }
  // Frames at the host's rate that inputFrames of the file play for.
  uint64_t OutputFrames(uint64_t inputFrames) const;
  // Moves left samples to the first buffer and right samples to the second.
  void SplitStereo(const uint8_t* input, uint32_t length);
  // Deletes both buffers.
  void FreeBuffers();

  // The left (or only) output buffer and the right one (null unless splitting).
  uint8_t* FirstBuffer() const { return first_.get(); }
  uint8_t* SecondBuffer() const { return second_.get(); }
  // Size of each output buffer, and the bytes to read per block.
  uint32_t BufferSize() const { return bufferSize_; }
  uint32_t ReadSize() const { return readSize_; }

  bool Split() const { return split_; }
  bool BitsDiffer() const { return bitsDiffer_; }
  bool RateDiffers() const { return rateDiffers_; }
  bool FormatInvalid() const { return formatInvalid_; }
  bool BuffersAllocated() const { return buffersAllocated_; }
  SampleEncoding Encoding() const { return encoding_; }
  const WAVEFORMATEX& SourceFormat() const { return source_; }
  const WAVEFORMATEX& TargetFormat() const { return target_; }

 private:
  WAVEFORMATEX source_;
  WAVEFORMATEX target_;
  bool bitsDiffer_ = false;
  bool rateDiffers_ = false;
  bool formatInvalid_ = false;
  bool split_ = false;
  bool resampling_ = false;
  bool buffersAllocated_ = false;
  SampleEncoding encoding_ = SampleEncoding::kUnsupported;
  uint32_t hostRate_ = 0;
  uint32_t outFrames_ = 0;  // output samples per block
  Resampler resampler_;
  std::unique_ptr<uint8_t[]> first_;
  std::unique_ptr<uint8_t[]> second_;
  uint32_t bufferSize_ = 0;
  uint32_t readSize_ = 0;
};
