// The engine's record of one channel. Private to the engine: the interface reads
// channels through ChannelSnapshot copies instead.
#pragma once
#include <cstdint>
#include <memory>

#include "core/SyncObject.h"
#include "wavedata/WaveFile.h"
#include "wavedata/WaveformatConverter.h"

// Closes an open wave file, then deletes it: deleting alone would leave it open.
struct WaveFileRelease {
  void operator()(WaveFile* file) const;
};
using OwnedWaveFile = std::unique_ptr<WaveFile, WaveFileRelease>;

// Where a looping resampled file's passes begin in the converted stream. Frames are
// counted from the converter's reset: the output at or after input frame S is
// ceil(S x out rate / in rate). The pass starts whose output is still to come form a
// progression first, first + step, ... last (passes of one length).
struct SeamTrack {
  uint64_t fed = 0;   // input frames given to the converter
  uint64_t made = 0;  // output frames it gave
  uint64_t first = 0;
  uint64_t last = 0;
  uint64_t step = 0;  // 0 while one start is pending
  bool pending = false;
};

struct Channel {
  std::unique_ptr<MutexObject> lock;
  bool loaded = false;
  bool owner = false;
  int32_t partner = -1;  // index of the right-half channel, -1 when none
  // The file, its converter and the read buffer belong to the owner; a stereo file's
  // right half holds none of them and reaches the file through its owner (c - 1).
  OwnedWaveFile file;
  std::unique_ptr<WaveformatConverter> converter;
  uint32_t readSize = 0;
  std::unique_ptr<uint8_t[]> readBuffer;
  uint8_t* output = nullptr;
  uint32_t outputCount = 0;
  volatile int32_t state = 0;
  int32_t previousState = 0;
  volatile bool loop = false;
  volatile bool sync = false;
  int32_t dataValid = 0;
  uint32_t blockSize = 0;  // the host's block size the buffers were made for
  // Output frames of silence before the sound in the next block: a synchronised start
  // on a seam inside the leader's block. Set on the streaming thread only.
  volatile uint32_t startDelay = 0;
  // A resampled file whose data ended without a loop: its last outputs (those that
  // reach past the end) come in the next block, unless the loop is switched on meanwhile.
  bool tailPending = false;
  SeamTrack seams;
};
