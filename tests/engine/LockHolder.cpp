// Test helper run as a second process: takes a named mutex, signals a named event,
// and holds the mutex until the release event is signalled (or ends at once without
// releasing it when asked to abandon it).
//   lock_holder MUTEX READY_EVENT RELEASE_EVENT|abandon
// Exit status: 0 when the release succeeded (or abandon was asked), 1 bad arguments,
// 2 the release was refused, 3 the mutex could not be taken, 4 never told to release.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
  if (argc != 4) return 1;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, argv[1]);
  if (!mutex) return 3;
  DWORD r = WaitForSingleObject(mutex, 10000);
  if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) return 3;
  bool abandon = strcmp(argv[3], "abandon") == 0;
  HANDLE release = abandon ? nullptr : OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
  if (!abandon && !release) return 1;
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  if (!ready) return 1;
  SetEvent(ready);
  if (abandon) ExitProcess(0);
  // Bounded: a test that dies before releasing must not leave the lock taken for ever.
  if (WaitForSingleObject(release, 120000) != WAIT_OBJECT_0) return 4;
  return ReleaseMutex(mutex) ? 0 : 2;
}
