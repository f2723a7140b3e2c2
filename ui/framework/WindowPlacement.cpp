// Where windows go: remembered positions in the settings store, centring.
#include "ui/framework/Window.h"
#include "util/Registry.h"

namespace {
// Left and top of a window's rectangle, with its size.
RECT WindowRect(HWND hwnd) {
  RECT rect = {0, 0, 0, 0};
  GetWindowRect(hwnd, &rect);
  return rect;
}
}  // namespace

bool Window::RestoreWindowPosition(Registry* settings, const char* key) {
  if (!settings || !hwnd_) return false;
  POINT p = settings->GetPoint(key, 0, 0);
  // (0, 0) is what a position that was never saved reads as.
  if (p.x == 0 && p.y == 0) return false;
  if (p.x > GetSystemMetrics(SM_CXFULLSCREEN) || p.y > GetSystemMetrics(SM_CYFULLSCREEN)) return false;
  // A point saved on a monitor that is gone: the window comes back where it can be
  // seen, as close to that point as the nearest monitor's work area allows.
  RECT at = WindowRect(hwnd_);
  OffsetRect(&at, p.x - at.left, p.y - at.top);
  if (!MonitorFromRect(&at, MONITOR_DEFAULTTONULL)) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromRect(&at, MONITOR_DEFAULTTONEAREST), &monitor)) {
      const RECT& work = monitor.rcWork;
      const LONG width = at.right - at.left, height = at.bottom - at.top;
      p.x = p.x + width > work.right ? work.right - width : p.x;
      p.y = p.y + height > work.bottom ? work.bottom - height : p.y;
      if (p.x < work.left) p.x = work.left;
      if (p.y < work.top) p.y = work.top;
    }
  }
  SetWindowPos(hwnd_, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  return true;
}

void Window::SaveWindowPosition(Registry* settings, const char* key) {
  if (!settings || !hwnd_) return;
  RECT rect = WindowRect(hwnd_);
  settings->SetPoint(key, rect.left, rect.top);
}

void Window::CenterOverWindow(HWND other) {
  RECT o = WindowRect(other);
  RECT w = WindowRect(hwnd_);
  int x = o.left + (o.right - o.left) / 2 - (w.right - w.left) / 2;
  int y = o.top + (o.bottom - o.top) / 2 - (w.bottom - w.top) / 2;
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CenterOnScreen(HWND hwnd) {
  RECT w = WindowRect(hwnd);
  int x = (GetSystemMetrics(SM_CXSCREEN) - (w.right - w.left)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - (w.bottom - w.top)) / 2;
  SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}
