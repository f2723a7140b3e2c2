// Finds this process's message boxes by title, records their text and dismisses
// them, so that a scripted run never waits on a person.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "host/MessagePump.h"
#include "core/HostTypes.h"

namespace hostkit {

// One box as it was seen: its text and the thread that showed it.
struct MessageBoxInfo {
  std::string text;
  DWORD threadId;
};

class MessageBoxWatcher {
 public:
  // onBox, when given, is called on the watcher's thread with each box (its text
  // and the thread that showed it), while the box is still up (its thread still
  // blocked in it).
  explicit MessageBoxWatcher(const char* title = kEngineTitle,
                             std::function<void(const MessageBoxInfo&)> onBox = nullptr);
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // Texts of the boxes seen so far, in order.
  std::vector<std::string> Texts();
  // The boxes seen so far, in order.
  std::vector<MessageBoxInfo> Boxes();
  // Waits up to timeoutMs for at least count boxes in all, dispatching this
  // thread's messages meanwhile; true when they came.
  bool WaitFor(size_t count, DWORD timeoutMs = 5000);
  void Clear();

 private:
  static DWORD WINAPI Run(void* self);
  static BOOL CALLBACK Visit(HWND hwnd, LPARAM self);
  void Dismiss(HWND box);

  std::string title_;
  std::function<void(const MessageBoxInfo&)> onBox_;
  HANDLE thread_ = nullptr;
  HANDLE running_ = nullptr;  // set once the thread runs its own code
  volatile LONG stop_ = 0;
  CRITICAL_SECTION lock_;
  std::vector<MessageBoxInfo> boxes_;
  std::vector<HWND> handled_;
};

}  // namespace hostkit
