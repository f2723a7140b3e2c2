#include "engine/RetiredBuffers.h"

#include <utility>

RetiredBuffers::RetiredBuffers(volatile LONG* readCounts, int channelCount)
    : readCounts_(readCounts), channelCount_(channelCount > 4 ? 4 : channelCount) {
  InitializeCriticalSection(&guard_);
}

// The entries free what they still hold: the host no longer reads.
RetiredBuffers::~RetiredBuffers() { DeleteCriticalSection(&guard_); }

// The host may still copy from a buffer it was handed in the last period: a closed
// channel's memory waits here instead of going at once. The channel's lock is held.
void RetiredBuffers::Retire(std::unique_ptr<uint8_t[]> readBuffer, std::unique_ptr<WaveformatConverter> converter,
                            uint32_t channelMask) {
  if (!readBuffer && !converter) return;
  Entry entry;
  entry.readBuffer = std::move(readBuffer);
  entry.converter = std::move(converter);
  entry.channelMask = channelMask;
  for (int c = 0; c < channelCount_; ++c) entry.readsAt[c] = readCounts_[c];
  entry.retiredAt = GetTickCount();

  EnterCriticalSection(&guard_);
  if (count_ == kCapacity) {
    // So many closes within the grace period that the host cannot be streaming
    // them all: the oldest entry has been out of its hands for longest.
    for (int i = 1; i < kCapacity; ++i) entries_[i - 1] = std::move(entries_[i]);
    --count_;
  }
  entries_[count_++] = std::move(entry);
  LeaveCriticalSection(&guard_);
}

// Frees what the host can no longer be reading; never on the streaming thread.
void RetiredBuffers::Collect() {
  DWORD now = GetTickCount();
  EnterCriticalSection(&guard_);
  int kept = 0;
  for (int i = 0; i < count_; ++i) {
    if (HostDoneWith(entries_[i], now))
      entries_[i] = Entry();
    else if (kept != i)
      entries_[kept++] = std::move(entries_[i]);
    else
      ++kept;
  }
  count_ = kept;
  LeaveCriticalSection(&guard_);
}

// How many entries still wait; they are checked against leaks and early frees.
int RetiredBuffers::Pending() {
  EnterCriticalSection(&guard_);
  int n = count_;
  LeaveCriticalSection(&guard_);
  return n;
}

// The host has called again for every channel that could have handed the memory
// out (calls on one channel follow each other), or the grace period has passed.
bool RetiredBuffers::HostDoneWith(const Entry& entry, DWORD now) const {
  if (now - entry.retiredAt >= kGraceMs) return true;
  for (int c = 0; c < channelCount_; ++c) {
    if (!(entry.channelMask & (1u << c))) continue;
    if (readCounts_[c] == entry.readsAt[c]) return false;
  }
  return true;
}
