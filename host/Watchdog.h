// The last guard of a scripted run: every command runs against a deadline, and
// when the plug-in keeps the host's thread past it (a hang in a window handler
// or a modal loop nobody can end) the watchdog says which command hung, lets a
// hook log it, and ends the process with kHungExitCode. A run never waits forever.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace hostkit {

constexpr int kHungExitCode = 4;

class Watchdog {
 public:
  // onHang runs on the watchdog's thread just before the process ends.
  explicit Watchdog(std::function<void(const std::string& what)> onHang);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // Starts guarding `what` for limitMs from now.
  void Arm(const std::string& what, DWORD limitMs);
  // Gives the guarded command ms more (a long wait or pull announces itself).
  void Extend(DWORD ms);
  void Disarm();

 private:
  static DWORD WINAPI Main(void* self);
  void Check();

  std::function<void(const std::string&)> onHang_;
  CRITICAL_SECTION lock_;
  HANDLE thread_ = nullptr;
  HANDLE stop_ = nullptr;
  bool armed_ = false;
  std::string what_;
  ULONGLONG deadline_ = 0;
};

}  // namespace hostkit
