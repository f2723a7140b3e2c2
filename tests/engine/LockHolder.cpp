// Test helper run as a second process: takes a named mutex, signals a named event,
// holds the mutex for a while and releases it (or ends without releasing it).
//   lock_holder MUTEX HOLD_MS READY_EVENT [abandon]
// Exit status: 0 when the release succeeded (or abandon was asked), 1 bad arguments,
// 2 the release was refused, 3 the mutex could not be taken.
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 4) return 1;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, argv[1]);
  if (!mutex) return 3;
  DWORD r = WaitForSingleObject(mutex, 10000);
  if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) return 3;
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
  if (ready) {
    SetEvent(ready);
    CloseHandle(ready);
  }
  Sleep((DWORD)strtoul(argv[2], nullptr, 10));
  if (argc > 4 && strcmp(argv[4], "abandon") == 0) ExitProcess(0);
  return ReleaseMutex(mutex) ? 0 : 2;
}
