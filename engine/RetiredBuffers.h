// Output memory of closed channels, kept until the host can no longer be reading it.
//
// readStreamChannel hands the host a pointer into a channel's read buffer or its
// converter's buffers, and the host copies from it after the call has returned.
// A channel closed on another thread in that moment must not free the memory
// under the host's feet, so a closed channel's buffers are retired here and freed
// once the host has called again for each channel that handed them out (it has
// then finished with the earlier block), or after a grace period when it has
// stopped reading altogether.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "wavedata/WaveformatConverter.h"

class RetiredBuffers {
 public:
  // readCounts points at the per-channel counters that readStreamChannel advances.
  RetiredBuffers(volatile LONG* readCounts, int channelCount);
  // Frees everything still held: the host no longer reads.
  ~RetiredBuffers();
  RetiredBuffers(const RetiredBuffers&) = delete;
  RetiredBuffers& operator=(const RetiredBuffers&) = delete;

  // Takes over a closed owner channel's read buffer and converter (either may be
  // null); channelMask has a bit for every channel whose reads may point into them.
  void Retire(std::unique_ptr<uint8_t[]> readBuffer, std::unique_ptr<WaveformatConverter> converter,
              uint32_t channelMask);
  // Frees what the host has finished with. Never called on the streaming thread.
  void Collect();
  // Entries not yet freed.
  int Pending();

  static constexpr DWORD kGraceMs = 2000;

 private:
  struct Entry {
    std::unique_ptr<uint8_t[]> readBuffer;
    std::unique_ptr<WaveformatConverter> converter;
    uint32_t channelMask = 0;
    LONG readsAt[4] = {};
    DWORD retiredAt = 0;
  };
  static constexpr int kCapacity = 32;

  bool HostDoneWith(const Entry& entry, DWORD now) const;

  volatile LONG* readCounts_;
  int channelCount_;
  CRITICAL_SECTION guard_;
  Entry entries_[kCapacity];
  int count_ = 0;
};
