#include "tests/common/Input.h"

#include "host/MessageBoxWatcher.h"
#include "host/UserInput.h"

namespace testkit {

namespace {
// Input reaches the queue through the display server: the queue counts as quiet
// only after this long. The bound is for a window that never stops posting.
constexpr DWORD kSettleMs = 30;
constexpr DWORD kQuietBoundMs = 20000;

void MouseAt(HWND hwnd, int x, int y, DWORD flags) {
  POINT p = {x, y};
  ClientToScreen(hwnd, &p);
  hostkit::SendPointer(flags, p);
  Settle();
}
}  // namespace

void Settle() { hostkit::PumpUntilQuiet(kSettleMs, kQuietBoundMs); }

void MoveMouseTo(HWND hwnd, int x, int y) { MouseAt(hwnd, x, y, 0); }
void PressAt(HWND hwnd, int x, int y) { MouseAt(hwnd, x, y, MOUSEEVENTF_LEFTDOWN); }
void ReleaseAt(HWND hwnd, int x, int y) { MouseAt(hwnd, x, y, MOUSEEVENTF_LEFTUP); }

void ClickAt(HWND hwnd, int x, int y) {
  MoveMouseTo(hwnd, x, y);
  PressAt(hwnd, x, y);
  ReleaseAt(hwnd, x, y);
}

void RightClickAt(HWND hwnd, int x, int y) {
  MoveMouseTo(hwnd, x, y);
  MouseAt(hwnd, x, y, MOUSEEVENTF_RIGHTDOWN);
  MouseAt(hwnd, x, y, MOUSEEVENTF_RIGHTUP);
}

void PostKey(HWND hwnd, WORD virtualKey) {
  UINT scan = MapVirtualKeyA(virtualKey, 0);
  PostMessageA(hwnd, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
  PostMessageA(hwnd, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

HWND FindDialog(const char* title, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND found = hostkit::FindVisibleDialog(title);
    if (found) return found;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    hostkit::PumpMessages(15);
  }
}

bool AnswerFileDialog(const char* title, const std::string& path, DWORD timeoutMs) {
  HWND dialog = FindDialog(title, timeoutMs);
  return dialog && hostkit::EnterFileName(dialog, path);
}

bool CancelDialog(const char* title, DWORD timeoutMs) {
  HWND dialog = FindDialog(title, timeoutMs);
  if (!dialog) return false;
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  return true;
}

}  // namespace testkit
