#include "host/MessageBoxWatcher.h"

#include <algorithm>

namespace hostkit {

MessageBoxWatcher::MessageBoxWatcher(const char* title, std::function<void(const MessageBoxInfo&)> onBox)
    : title_(title), onBox_(std::move(onBox)) {
  InitializeCriticalSection(&lock_);
  running_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &MessageBoxWatcher::Run, this, 0, nullptr);
  // A new thread first runs the libraries' thread attach, and its first window
  // call sets up its window state, both under the loader's lock. Were a library
  // attaching on the creating thread (holding that lock) to show a box before
  // then, the watcher could never start to dismiss it: wait for its first round.
  if (thread_ && running_) WaitForSingleObject(running_, 10000);
}

MessageBoxWatcher::~MessageBoxWatcher() {
  InterlockedExchange(&stop_, 1);
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (running_) CloseHandle(running_);
  DeleteCriticalSection(&lock_);
}

std::vector<std::string> MessageBoxWatcher::Texts() {
  std::vector<std::string> texts;
  for (const MessageBoxInfo& box : Boxes()) texts.push_back(box.text);
  return texts;
}

std::vector<MessageBoxInfo> MessageBoxWatcher::Boxes() {
  EnterCriticalSection(&lock_);
  std::vector<MessageBoxInfo> copy = boxes_;
  LeaveCriticalSection(&lock_);
  return copy;
}

bool MessageBoxWatcher::WaitFor(size_t count, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    EnterCriticalSection(&lock_);
    size_t seen = boxes_.size();
    LeaveCriticalSection(&lock_);
    if (seen >= count) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    PumpMessages(10);
  }
}

void MessageBoxWatcher::Clear() {
  EnterCriticalSection(&lock_);
  boxes_.clear();
  LeaveCriticalSection(&lock_);
}

namespace {
struct TextSearch {
  std::string best;
};

// The box's text is its longest static control (the icon is a static without text).
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
  MessageBoxInfo info;
  TextSearch search;
  EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&search));
  info.text = search.best;
  info.threadId = GetWindowThreadProcessId(box, nullptr);
  handled_.push_back(box);
  if (handled_.size() > 64) handled_.erase(handled_.begin());
  EnterCriticalSection(&lock_);
  boxes_.push_back(info);
  LeaveCriticalSection(&lock_);
  if (onBox_) onBox_(info);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
}

DWORD WINAPI MessageBoxWatcher::Run(void* self) {
  MessageBoxWatcher* watcher = static_cast<MessageBoxWatcher*>(self);
  bool first = true;
  while (!watcher->stop_) {
    EnumWindows(&MessageBoxWatcher::Visit, reinterpret_cast<LPARAM>(watcher));
    if (first) SetEvent(watcher->running_);
    first = false;
    Sleep(15);
  }
  return 0;
}

}  // namespace hostkit
