// The host's event and internal callbacks: every record they receive goes into
// the session log, and events are answered from a policy the run can change.
#pragma once
#include <windows.h>

#include <cstdint>

#include "host/JsonLog.h"
#include "host/WaveOutput.h"
#include "core/HostTypes.h"

namespace hostkit {

// Which of the host's threads a call came on, by name.
class ThreadNames {
 public:
  void SetInterfaceThread(DWORD id) { ui_ = id; }
  void SetStreamingThread(DWORD id) { stream_ = id; }
  // "ui", "stream" or "other".
  const char* Name(DWORD threadId) const;
  const char* Current() const { return Name(GetCurrentThreadId()); }

 private:
  volatile DWORD ui_ = 0;
  volatile DWORD stream_ = 0;
};

class HostCallbacks {
 public:
  // Becomes the process's callbacks target; log and threads must outlive it.
  HostCallbacks(JsonLog& log, const ThreadNames& threads);
  ~HostCallbacks();
  HostCallbacks(const HostCallbacks&) = delete;
  HostCallbacks& operator=(const HostCallbacks&) = delete;

  // Every event accepted (the default).
  void AcceptAll() { InterlockedExchange(&refused_, 0); }
  // Events with this code (0..31) answered 0 from now on.
  void Refuse(int32_t code);
  bool Refuses(int32_t code) const;
  // How channel index c (0..3) is heard, from the events 6 and 7 the host
  // accepted: the owner of a stereo pair left, its partner right, others centre.
  ChannelRole Role(int channel) const { return (ChannelRole)roles_[channel & 3]; }
  // Signalled (auto-reset) by every command 15, the plug-in's request to close its window.
  HANDLE CloseRequested() const { return closeRequested_; }

  // The functions handed to setEventCallback and setInternalCallback.
  static int32_t OnEvent(EventRecord* record);
  static int32_t OnInternal(InternalRecord* record, int32_t command);

 private:
  static HostCallbacks* current_;
  JsonLog& log_;
  const ThreadNames& threads_;
  void TrackChannels(const EventRecord& record);

  volatile LONG refused_ = 0;  // one bit per event code
  volatile LONG roles_[4] = {};
  HANDLE closeRequested_ = nullptr;
};

}  // namespace hostkit
