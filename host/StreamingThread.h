// The host's streaming thread: in every period it calls readStreamChannel for
// channels 0 to 3, in that order, and hands each result to a sink. It also
// delivers onStreamingError, which the host calls on this thread too.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "host/PluginLoader.h"

#include "core/SyncObject.h"

namespace hostkit {

// Receives every readStreamChannel call's outcome, on the streaming thread.
class PeriodSink {
 public:
  // data and count are the plug-in's out values; data is null and count 0 when the result is false.
  virtual void OnChannelRead(uint32_t period, int channel, int32_t result, const uint8_t* data, int32_t count) = 0;
  // Around each period when the sink paces the pulls (see Pull): BeforePeriod
  // returns when the period may be pulled, false to end the job there;
  // AfterPeriod follows the period's four reads.
  virtual bool BeforePeriod(uint32_t period) {
    (void)period;
    return true;
  }
  virtual void AfterPeriod(uint32_t period) { (void)period; }

 protected:
  ~PeriodSink() = default;
};

class StreamingThread {
 public:
  StreamingThread(const PluginApi& api, PeriodSink& sink);
  // Stops the thread. One that does not end in time (stuck in the plug-in) keeps
  // what it waits on: it owns its state from then on, frees it when it ends, and
  // hands no further result to the sink.
  ~StreamingThread();
  StreamingThread(const StreamingThread&) = delete;
  StreamingThread& operator=(const StreamingThread&) = delete;

  // Starts the idle thread; false when it cannot be created or started.
  bool Start();
  // Ends the thread after its current job (waits at most timeoutMs); true when it ended.
  bool Stop(DWORD timeoutMs = 10000);
  // How long the destructor waits for the thread to end.
  void SetFinalStopWait(DWORD ms) { finalStopWaitMs_ = ms; }
  DWORD ThreadId() const;

  // Runs `periods` periods, one every periodMs (0: back to back; kSinkPaced:
  // whenever the sink's BeforePeriod returns), while the calling thread
  // dispatches its messages; false when they did not end within timeoutMs.
  bool Pull(uint32_t periods, DWORD periodMs, DWORD timeoutMs);
  static constexpr DWORD kSinkPaced = 0xFFFFFFFF;
  // Starts the same job without waiting: it runs until Halt (or its periods end).
  bool Begin(uint32_t periods, DWORD periodMs);
  // Ends a job begun with Begin after its current period; false when it did not end within timeoutMs.
  bool Halt(DWORD timeoutMs);
  // Calls onStreamingError(0, 0) on the streaming thread and waits likewise.
  bool ReportStreamingError(DWORD timeoutMs);

 private:
  enum Job : LONG { kIdle, kPull, kStreamingError, kQuit };
  // Everything the thread touches; shared by the object and the thread, freed by
  // whichever of them lets go of it last.
  struct State;
  static DWORD WINAPI Main(void* state);
  static void DoPull(State& state);
  static void Release(State* state);
  bool RunJob(Job job, DWORD timeoutMs);
  bool StartJob(Job job);

  State* state_ = nullptr;
  std::unique_ptr<ThreadObject> thread_;
  DWORD finalStopWaitMs_ = 10000;
};

}  // namespace hostkit
