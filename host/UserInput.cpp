#include "host/UserInput.h"

#include <cstring>

#include "host/MessagePump.h"
#include "ui/framework/GdiHandles.h"

namespace hostkit {

namespace {

// Time for the system to route each piece of input before the next one.
constexpr DWORD kInputSettleMs = 30;
// Longest a click may take to be handled, modal loops included.
constexpr DWORD kClickHandledMs = 120000;
// How long a covering window (a fading tooltip) may take to go away.
constexpr DWORD kUncoverMs = 1500;

struct WindowSearch {
  const char* className;
  const char* title;
  bool visibleOnly;
  HWND found;
};

BOOL CALLBACK VisitTopLevel(HWND hwnd, LPARAM param) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId()) return TRUE;
  if (search->visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
  char cls[64], title[256];
  GetClassNameA(hwnd, cls, sizeof cls);
  if (strcmp(cls, search->className) != 0) return TRUE;
  if (search->title) {
    GetWindowTextA(hwnd, title, sizeof title);
    if (strcmp(title, search->title) != 0) return TRUE;
  }
  search->found = hwnd;
  return FALSE;
}

void SendKey(WORD key, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

POINT ToScreen(HWND hwnd, POINT client) {
  ClientToScreen(hwnd, &client);
  return client;
}

// True when the point of the screen shows hwnd (or one of its child windows).
bool Shows(HWND hwnd, POINT screen) {
  HWND at = WindowFromPoint(screen);
  return at && (at == hwnd || GetAncestor(at, GA_ROOT) == hwnd);
}

std::string Describe(HWND hwnd) {
  char cls[64] = "", title[128] = "";
  if (hwnd) {
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, title, sizeof title);
  }
  return std::string("a window of class \"") + cls + "\" titled \"" + title + "\"";
}

}  // namespace

void SendPointer(DWORD flags, POINT screen) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  // Normalised coordinates: 0..65535 across the primary screen.
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  input.mi.dx = (screen.x * 65536 + w / 2) / w;
  input.mi.dy = (screen.y * 65536 + h / 2) / h;
  SendInput(1, &input, sizeof input);
}

bool EnterFileName(HWND dialog, const std::string& path) {
  // The file name box: the combo box of the explorer layout, or the older edit box.
  HWND name = GetDlgItem(dialog, 0x47C);
  if (!name) name = GetDlgItem(dialog, 0x480);
  if (!name) return false;
  SetWindowTextA(name, path.c_str());
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  return true;
}

HWND FindProcessWindow(const char* className, const char* title) {
  WindowSearch search = {className, title, false, nullptr};
  EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindShownWindow(const char* className, const char* title, const char* what, const char* showHint,
                     std::string* error) {
  HWND hwnd = FindProcessWindow(className, title);
  if (!hwnd) *error = std::string("the plug-in has no ") + what + " (is there a \"ui create\" before?)";
  else if (!IsWindowVisible(hwnd)) *error = std::string("the ") + what + " is hidden (" + showHint + ")";
  else return hwnd;
  return nullptr;
}

HWND FindVisibleDialog(const char* title) {
  WindowSearch search = {"#32770", title, true, nullptr};
  EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void PumpUntilQuiet(DWORD minMs, DWORD maxMs) {
  DWORD start = GetTickCount();
  for (;;) {
    PumpMessages(5);
    DWORD elapsed = GetTickCount() - start;
    bool waiting = HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE)) != 0;
    if (elapsed >= maxMs || (elapsed >= minMs && !waiting)) return;
  }
}

void MovePointer(HWND hwnd, POINT client) {
  SendPointer(0, ToScreen(hwnd, client));
  PumpUntilQuiet(kInputSettleMs, kClickHandledMs);
}

namespace {
// A click with the given button, as ClickAt and RightClickAt make it.
bool ClickWith(HWND hwnd, POINT point, POINT rest, DWORD down, DWORD up, std::string* error) {
  if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) {
    *error = "the plug-in's window is not shown";
    return false;
  }
  // Rest first: a tooltip of the last control goes away when the pointer leaves it.
  MovePointer(hwnd, rest);
  POINT screen = ToScreen(hwnd, point);
  DWORD start = GetTickCount();
  while (!Shows(hwnd, screen)) {
    if (GetTickCount() - start >= kUncoverMs) {
      *error = "the point (" + std::to_string(point.x) + ", " + std::to_string(point.y) +
               ") of the window is covered by " + Describe(WindowFromPoint(screen));
      return false;
    }
    PumpMessages(20);
  }
  MovePointer(hwnd, point);
  SendPointer(down, screen);
  PumpUntilQuiet(kInputSettleMs, kClickHandledMs);
  SendPointer(up, screen);
  PumpUntilQuiet(kInputSettleMs, kClickHandledMs);
  if (IsWindow(hwnd) && IsWindowVisible(hwnd)) MovePointer(hwnd, rest);
  return true;
}
}  // namespace

bool ClickAt(HWND hwnd, POINT point, POINT rest, std::string* error) {
  return ClickWith(hwnd, point, rest, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, error);
}

bool RightClickAt(HWND hwnd, POINT point, POINT rest, std::string* error) {
  return ClickWith(hwnd, point, rest, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, error);
}

bool PressAltF4(HWND hwnd, std::string* error) {
  if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) {
    *error = "the plug-in's window is not shown";
    return false;
  }
  SetForegroundWindow(hwnd);
  SetFocus(hwnd);
  PumpUntilQuiet(kInputSettleMs, kClickHandledMs);
  if (GetForegroundWindow() != hwnd) {
    *error = "the plug-in's window cannot be brought to the front for the key press";
    return false;
  }
  SendKey(VK_MENU, false);
  SendKey(VK_F4, false);
  SendKey(VK_F4, true);
  SendKey(VK_MENU, true);
  PumpUntilQuiet(kInputSettleMs * 3, kClickHandledMs);
  return true;
}

bool CaptureWindowPixels(HWND hwnd, int* width, int* height, std::vector<uint32_t>* pixels) {
  if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return false;
  UpdateWindow(hwnd);
  RECT client;
  GetClientRect(hwnd, &client);
  int w = client.right, h = client.bottom;
  if (w <= 0 || h <= 0) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  ScopedBitmap dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  MemoryDC memory;
  WindowDC screen(hwnd);
  if (!dib || !bits || !memory.Get() || !screen.Get()) return false;
  {
    SelectionScope selected(memory.Get(), dib.Get());
    if (!BitBlt(memory.Get(), 0, 0, w, h, screen.Get(), 0, 0, SRCCOPY)) return false;
    GdiFlush();
  }
  ScopedRegion shape(CreateRectRgn(0, 0, 0, 0));
  bool shaped = shape && GetWindowRgn(hwnd, shape.Get()) != ERROR;
  const uint32_t* p = static_cast<const uint32_t*>(bits);
  pixels->assign(p, p + (size_t)w * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t& px = (*pixels)[(size_t)y * w + x];
      bool inside = !shaped || PtInRegion(shape.Get(), x, y);
      px = (px & 0xFFFFFF) | (inside ? 0xFF000000u : 0);
    }
  }
  *width = w;
  *height = h;
  return true;
}

}  // namespace hostkit
