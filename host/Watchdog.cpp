#include "host/Watchdog.h"

#include <cstdio>

namespace hostkit {

Watchdog::Watchdog(std::function<void(const std::string&)> onHang) : onHang_(std::move(onHang)) {
  InitializeCriticalSection(&lock_);
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (stop_) thread_ = CreateThread(nullptr, 0, &Watchdog::Main, this, 0, nullptr);
}

Watchdog::~Watchdog() {
  if (thread_) {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (stop_) CloseHandle(stop_);
  DeleteCriticalSection(&lock_);
}

void Watchdog::Arm(const std::string& what, DWORD limitMs) {
  EnterCriticalSection(&lock_);
  armed_ = true;
  what_ = what;
  deadline_ = GetTickCount64() + limitMs;
  LeaveCriticalSection(&lock_);
}

void Watchdog::Extend(DWORD ms) {
  EnterCriticalSection(&lock_);
  deadline_ += ms;
  LeaveCriticalSection(&lock_);
}

void Watchdog::Disarm() {
  EnterCriticalSection(&lock_);
  armed_ = false;
  LeaveCriticalSection(&lock_);
}

DWORD WINAPI Watchdog::Main(void* self) {
  Watchdog* watchdog = static_cast<Watchdog*>(self);
  while (WaitForSingleObject(watchdog->stop_, 200) == WAIT_TIMEOUT) watchdog->Check();
  return 0;
}

// Watchdog thread: ends the process when the armed command is past its deadline.
void Watchdog::Check() {
  EnterCriticalSection(&lock_);
  bool hung = armed_ && GetTickCount64() > deadline_;
  std::string what = what_;
  LeaveCriticalSection(&lock_);
  if (!hung) return;
  fprintf(stderr, "orvan-host: %s did not finish in time; the plug-in keeps the host's thread, giving up\n",
          what.c_str());
  fflush(stderr);
  if (onHang_) onHang_(what);
  TerminateProcess(GetCurrentProcess(), kHungExitCode);
}

}  // namespace hostkit
