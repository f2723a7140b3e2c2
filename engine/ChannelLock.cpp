#include "engine/ChannelLock.h"

#include <cstdio>

#include "core/SyncObject.h"

namespace {
volatile LONG g_releaseFailures = 0;
}

// Called before a channel record is read or changed.
bool HeldLock::Acquire(MutexObject* lock, DWORD timeoutMs) {
  Release();
  if (!lock) return false;
  if (lock->Wait(timeoutMs)) {
    lock_ = lock;
    return true;
  }
  // A trace for a developer's debugger; the user sees nothing.
  char trace[MAX_PATH + 32];
  snprintf(trace, sizeof trace, "%s mutex timed out", lock->Name());
  OutputDebugStringA(trace);
  return false;
}

// Called when the holder's scope ends, or earlier where the order of releases matters.
void HeldLock::Release() {
  if (!lock_) return;
  if (!ReleaseMutex(lock_->Handle())) InterlockedIncrement(&g_releaseFailures);
  lock_ = nullptr;
}

// A refused release means a lock was released by a thread not owning it: a fault that
// would otherwise pass silently, so it is counted.
long HeldLock::ReleaseFailures() { return g_releaseFailures; }

// Locks in ascending channel order, the one order every thread uses, so two
// multi-channel operations cannot deadlock; on a timeout none stays held.
bool HeldLocks::Acquire(MutexObject* const* locks, uint32_t mask, DWORD timeoutMs) {
  for (int c = 0; c < kMax; ++c) {
    if (!(mask & (1u << c)) || held_[c].Held()) continue;
    if (!held_[c].Acquire(locks[c], timeoutMs)) {
      ReleaseAll();
      return false;
    }
  }
  return true;
}

// Called when the holder's scope ends: the highest index is released first.
void HeldLocks::ReleaseAll() {
  for (int c = kMax - 1; c >= 0; --c) held_[c].Release();
}
