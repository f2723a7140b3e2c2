#include "host/MessagePump.h"

namespace hostkit {

namespace {
void DispatchPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
}  // namespace

void PumpMessages(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    DispatchPending();
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) break;
    DWORD slice = ms - elapsed < 5 ? ms - elapsed : 5;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
  DispatchPending();
}

bool PumpUntilSignalled(HANDLE handle, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    DispatchPending();
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return true;
    if (r == WAIT_FAILED) return false;
  }
}

}  // namespace hostkit
