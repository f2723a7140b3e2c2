// Scoped holding of channel locks. Every wait is bounded; a lock that was not
// obtained is never released, and one that was is released by the thread that
// obtained it, when the holder goes out of scope.
#pragma once
#include <windows.h>

#include <cstdint>

class MutexObject;

// One channel lock held for a scope.
class HeldLock {
 public:
  HeldLock() = default;
  ~HeldLock() { Release(); }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;

  // Waits at most timeoutMs; true when this thread now holds the lock (an abandoned
  // lock counts as obtained). A time-out leaves a trace message and holds nothing.
  bool Acquire(MutexObject* lock, DWORD timeoutMs);
  // Releases the lock when it is held; nothing otherwise.
  void Release();
  bool Held() const { return lock_ != nullptr; }

  // Releases that the platform refused since the process started: stays 0 unless
  // a lock was released by a thread that does not own it.
  static long ReleaseFailures();

 private:
  MutexObject* lock_ = nullptr;
};

// Several channel locks, taken in index order and released in reverse order.
class HeldLocks {
 public:
  HeldLocks() = default;
  ~HeldLocks() { ReleaseAll(); }
  HeldLocks(const HeldLocks&) = delete;
  HeldLocks& operator=(const HeldLocks&) = delete;

  // Takes the locks of the channels whose bits are set in mask (bit c for channel c),
  // lowest index first. On a time-out everything taken so far is released and the
  // result is false.
  bool Acquire(MutexObject* const* locks, uint32_t mask, DWORD timeoutMs);
  void ReleaseAll();
  bool Holds(int c) const { return c >= 0 && c < kMax && held_[c].Held(); }

 private:
  static constexpr int kMax = 4;
  HeldLock held_[kMax];
};
