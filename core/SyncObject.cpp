#include "core/SyncObject.h"

SyncObject::SyncObject(const char* name) {
  name_[0] = '\0';
  if (name) lstrcpynA(name_, name, sizeof name_);
}

SyncObject::~SyncObject() {
  if (handle_) {
    CloseHandle(handle_);
    handle_ = nullptr;
  }
}

bool SyncObject::Wait(DWORD timeoutMs) {
  if (!handle_) return false;
  DWORD r = WaitForSingleObject(handle_, timeoutMs);
  return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

static const char* NameOrNull(const char* name) { return name && name[0] ? name : nullptr; }

EventObject::EventObject(bool manualReset, bool initialState, const char* name) : SyncObject(name) {
  handle_ = CreateEventA(nullptr, manualReset, initialState, NameOrNull(name_));
}

MutexObject::MutexObject(const char* name) : SyncObject(name) {
  handle_ = CreateMutexA(nullptr, FALSE, NameOrNull(name_));
}

ThreadObject::ThreadObject(LPTHREAD_START_ROUTINE start, void* argument) : SyncObject(nullptr) {
  handle_ = CreateThread(nullptr, 0, start, argument, CREATE_SUSPENDED, &threadId_);
}

namespace {
// A thread that never ran ends at once; the wait only guards against a platform that lags.
constexpr DWORD kEndWaitMs = 5000;
}  // namespace

bool ThreadObject::Start() {
  if (!handle_) return false;
  if (ResumeThread(handle_) != (DWORD)-1) return true;
  TerminateThread(handle_, 0);
  WaitForSingleObject(handle_, kEndWaitMs);
  return false;
}

int WaitForTwo(HANDLE first, HANDLE second, bool waitForBoth, DWORD timeoutMs) {
  HANDLE handles[2] = {first, second};
  DWORD r = WaitForMultipleObjects(2, handles, waitForBoth, timeoutMs);
  if (r == WAIT_TIMEOUT) return -1;
  return (int)r;
}
