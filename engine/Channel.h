// The engine's record of one channel. Private to the engine: the interface reads
// channels through ChannelSnapshot copies instead.
#pragma once
#include <cstdint>

class MutexObject;
class WaveFile;
class WaveformatConverter;

struct Channel {
  MutexObject* lock;
  bool loaded;
  bool owner;
  int32_t partner;  // index of the right-half channel, -1 when none
  WaveFile* file;
  WaveformatConverter* converter;
  uint32_t readSize;
  uint8_t* readBuffer;
  uint8_t* output;
  uint32_t outputCount;
  volatile int32_t state;
  int32_t previousState;
  volatile bool loop;
  volatile bool sync;
  int32_t dataValid;
  uint32_t blockSize;  // the host's block size the buffers were made for
};
