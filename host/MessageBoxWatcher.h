// Finds this process's message boxes by title, records their text and dismisses
// them, so that a scripted run never waits on a person.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace hostkit {

class MessageBoxWatcher {
 public:
  // onBox, when given, is called on the watcher's thread with each box's text.
  explicit MessageBoxWatcher(const char* title = "Orvan Audio Engine v0.1b",
                             std::function<void(const std::string&)> onBox = nullptr);
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // Texts of the boxes seen so far, in order.
  std::vector<std::string> Texts();
  // Waits up to timeoutMs for at least count boxes in all; true when they came.
  bool WaitFor(size_t count, DWORD timeoutMs = 5000);
  void Clear();

 private:
  static DWORD WINAPI Run(void* self);
  static BOOL CALLBACK Visit(HWND hwnd, LPARAM self);
  void Dismiss(HWND box);

  std::string title_;
  std::function<void(const std::string&)> onBox_;
  HANDLE thread_ = nullptr;
  volatile LONG stop_ = 0;
  CRITICAL_SECTION lock_;
  std::vector<std::string> texts_;
  std::vector<HWND> handled_;
};

// Dispatches this thread's messages for ms milliseconds.
void PumpMessages(DWORD ms);

}  // namespace hostkit
