#include "host/MessageBoxWatcher.h"

#include <algorithm>

namespace hostkit {

MessageBoxWatcher::MessageBoxWatcher(const char* title, std::function<void(const std::string&)> onBox)
    : title_(title), onBox_(std::move(onBox)) {
  InitializeCriticalSection(&lock_);
  thread_ = CreateThread(nullptr, 0, &MessageBoxWatcher::Run, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() {
  InterlockedExchange(&stop_, 1);
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  DeleteCriticalSection(&lock_);
}

std::vector<std::string> MessageBoxWatcher::Texts() {
  EnterCriticalSection(&lock_);
  std::vector<std::string> copy = texts_;
  LeaveCriticalSection(&lock_);
  return copy;
}

bool MessageBoxWatcher::WaitFor(size_t count, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    EnterCriticalSection(&lock_);
    size_t seen = texts_.size();
    LeaveCriticalSection(&lock_);
    if (seen >= count) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    PumpMessages(10);
  }
}

void MessageBoxWatcher::Clear() {
  EnterCriticalSection(&lock_);
  texts_.clear();
  LeaveCriticalSection(&lock_);
}

namespace {
struct TextSearch {
  std::string best;
};

BOOL CALLBACK LongestStatic(HWND child, LPARAM param) {
  char cls[32];
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") != 0) return TRUE;
  char text[1024];
  int n = GetWindowTextA(child, text, sizeof text);
  TextSearch* search = reinterpret_cast<TextSearch*>(param);
  if (n > 0 && (size_t)n > search->best.size()) search->best.assign(text, n);
  return TRUE;
}
}  // namespace

BOOL CALLBACK MessageBoxWatcher::Visit(HWND hwnd, LPARAM self) {
  MessageBoxWatcher* watcher = reinterpret_cast<MessageBoxWatcher*>(self);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId()) return TRUE;
  char cls[32], title[256];
  GetClassNameA(hwnd, cls, sizeof cls);
  if (lstrcmpA(cls, "#32770") != 0) return TRUE;
  GetWindowTextA(hwnd, title, sizeof title);
  if (watcher->title_ != title) return TRUE;
  if (!IsWindowVisible(hwnd)) return TRUE;
  watcher->Dismiss(hwnd);
  return TRUE;
}

void MessageBoxWatcher::Dismiss(HWND box) {
  // A box that is still closing after our click must not be counted twice.
  if (std::find(handled_.begin(), handled_.end(), box) != handled_.end()) {
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return;
  }
  TextSearch search;
  EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&search));
  handled_.push_back(box);
  if (handled_.size() > 64) handled_.erase(handled_.begin());
  EnterCriticalSection(&lock_);
  texts_.push_back(search.best);
  LeaveCriticalSection(&lock_);
  if (onBox_) onBox_(search.best);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
}

DWORD WINAPI MessageBoxWatcher::Run(void* self) {
  MessageBoxWatcher* watcher = static_cast<MessageBoxWatcher*>(self);
  while (!watcher->stop_) {
    EnumWindows(&MessageBoxWatcher::Visit, reinterpret_cast<LPARAM>(watcher));
    Sleep(15);
  }
  return 0;
}

void PumpMessages(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
}

}  // namespace hostkit
