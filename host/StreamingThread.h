// The host's streaming thread: in every period it calls readStreamChannel for
// channels 0 to 3, in that order, and hands each result to a sink. It also
// delivers onStreamingError, which the host calls on this thread too.
#pragma once
#include <windows.h>

#include <cstdint>

#include "host/PluginLoader.h"

class EventObject;
class ThreadObject;

namespace hostkit {

// Receives every readStreamChannel call's outcome, on the streaming thread.
class PeriodSink {
 public:
  // data and count are the plug-in's out values; data is null and count 0 when the result is false.
  virtual void OnChannelRead(uint32_t period, int channel, int32_t result, const uint8_t* data, int32_t count) = 0;

 protected:
  ~PeriodSink() = default;
};

class StreamingThread {
 public:
  StreamingThread(const PluginApi& api, PeriodSink& sink);
  ~StreamingThread();
  StreamingThread(const StreamingThread&) = delete;
  StreamingThread& operator=(const StreamingThread&) = delete;

  // Starts the idle thread; false when it cannot be created.
  bool Start();
  // Ends the thread after its current job (waits at most timeoutMs); true when it ended.
  bool Stop(DWORD timeoutMs = 10000);
  DWORD ThreadId() const;

  // Runs `periods` periods, one every periodMs (0: back to back), while the
  // calling thread dispatches its messages; false when they did not end within timeoutMs.
  bool Pull(uint32_t periods, DWORD periodMs, DWORD timeoutMs);
  // Calls onStreamingError(0, 0) on the streaming thread and waits likewise.
  bool ReportStreamingError(DWORD timeoutMs);

 private:
  enum Job : LONG { kIdle, kPull, kStreamingError, kQuit };
  static DWORD WINAPI Main(void* self);
  bool RunJob(Job job, DWORD timeoutMs);
  void DoPull();

  const PluginApi& api_;
  PeriodSink& sink_;
  ThreadObject* thread_ = nullptr;
  EventObject* work_ = nullptr;
  EventObject* done_ = nullptr;
  volatile LONG job_ = kIdle;
  volatile LONG busy_ = 0;
  uint32_t periodsWanted_ = 0;
  DWORD periodMs_ = 0;
  volatile LONG periodsDone_ = 0;
};

}  // namespace hostkit
