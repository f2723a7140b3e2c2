// Owning wrappers of kernel objects shared between threads: events, mutexes, threads.
// Each has one bounded Wait; releasing and signalling are done on the handle directly.
#pragma once
#include <windows.h>

class SyncObject {
 public:
  SyncObject(const char* name);
  virtual ~SyncObject();
  SyncObject(const SyncObject&) = delete;
  SyncObject& operator=(const SyncObject&) = delete;

  // True when signalled or abandoned (the caller then owns an abandoned mutex);
  // false on time-out or failure. INFINITE (-1) waits without limit.
  virtual bool Wait(DWORD timeoutMs);

  HANDLE Handle() const { return handle_; }
  // Gives the handle up without closing it (for one another party may still use).
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  const char* Name() const { return name_; }
  bool Valid() const { return handle_ != nullptr; }

 protected:
  HANDLE handle_ = nullptr;
  char name_[MAX_PATH];  // empty: an unnamed object
};

// Event, manual- or auto-reset; a name makes it system-wide.
class EventObject : public SyncObject {
 public:
  EventObject(bool manualReset, bool initialState, const char* name = nullptr);
};

// Mutex, not initially owned; a name makes it system-wide.
class MutexObject : public SyncObject {
 public:
  explicit MutexObject(const char* name = nullptr);
};

// Thread created suspended; the creator stores the object and then calls Start.
class ThreadObject : public SyncObject {
 public:
  ThreadObject(LPTHREAD_START_ROUTINE start, void* argument);
  DWORD ThreadId() const { return threadId_; }
  // Lets the thread run. When it cannot be resumed, the thread, which never ran, is
  // ended (and waited for), so that none is left suspended behind a closed handle: false.
  bool Start();

 private:
  DWORD threadId_ = 0;
};

// WaitForMultipleObjects on two handles: 0 or 1 for the object that ended the wait
// (0 when waiting for both), -1 on time-out; other results pass through unchanged
// (WAIT_ABANDONED_0 + i for an abandoned mutex; a failed wait, WAIT_FAILED, is also -1).
int WaitForTwo(HANDLE first, HANDLE second, bool waitForBoth, DWORD timeoutMs);
