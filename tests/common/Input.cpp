#include "tests/common/Input.h"

#include <shlobj.h>

#include <cstring>

#include "host/MessageBoxWatcher.h"

namespace testkit {

namespace {
constexpr DWORD kSettleMs = 40;

void SendMouse(DWORD flags, int screenX, int screenY) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
  // Normalised coordinates: 0..65535 across the primary screen.
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  input.mi.dx = (screenX * 65536 + w / 2) / w;
  input.mi.dy = (screenY * 65536 + h / 2) / h;
  SendInput(1, &input, sizeof input);
}

void MouseAt(HWND hwnd, int x, int y, DWORD flags) {
  POINT p = {x, y};
  ClientToScreen(hwnd, &p);
  SendMouse(MOUSEEVENTF_MOVE | flags, p.x, p.y);
  hostkit::PumpMessages(kSettleMs);
}

struct DialogSearch {
  const char* title;
  HWND found;
};

BOOL CALLBACK VisitTopLevel(HWND hwnd, LPARAM param) {
  DialogSearch* search = reinterpret_cast<DialogSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd)) return TRUE;
  char cls[32], title[256];
  GetClassNameA(hwnd, cls, sizeof cls);
  GetWindowTextA(hwnd, title, sizeof title);
  if (strcmp(cls, "#32770") != 0 || strcmp(title, search->title) != 0) return TRUE;
  search->found = hwnd;
  return FALSE;
}
}  // namespace

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

void PressKey(WORD virtualKey) {
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = virtualKey;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof keys[0]);
  hostkit::PumpMessages(kSettleMs);
}

void PostKey(HWND hwnd, WORD virtualKey) {
  UINT scan = MapVirtualKeyA(virtualKey, 0);
  PostMessageA(hwnd, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
  PostMessageA(hwnd, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

HWND FindDialog(const char* title, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    DialogSearch search = {title, nullptr};
    EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    hostkit::PumpMessages(15);
  }
}

bool AnswerFileDialog(const char* title, const std::string& path, DWORD timeoutMs) {
  HWND dialog = FindDialog(title, timeoutMs);
  if (!dialog) return false;
  // The file name box: the combo box of the explorer layout, or the older edit box.
  HWND name = GetDlgItem(dialog, 0x47C);
  if (!name) name = GetDlgItem(dialog, 0x480);
  if (!name) return false;
  SetWindowTextA(name, path.c_str());
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  return true;
}

bool CancelDialog(const char* title, DWORD timeoutMs) {
  HWND dialog = FindDialog(title, timeoutMs);
  if (!dialog) return false;
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  return true;
}

HDROP MakeDrop(const std::vector<std::string>& names, POINT point) {
  size_t bytes = sizeof(DROPFILES) + 1;
  for (const std::string& name : names) bytes += name.size() + 1;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!memory) return nullptr;
  DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = point;
  drop->fNC = FALSE;
  drop->fWide = FALSE;
  char* text = reinterpret_cast<char*>(drop + 1);
  for (const std::string& name : names) {
    memcpy(text, name.c_str(), name.size() + 1);
    text += name.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

}  // namespace testkit
