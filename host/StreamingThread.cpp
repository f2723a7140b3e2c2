#include "host/StreamingThread.h"

#include <new>

#include "host/MessagePump.h"

namespace hostkit {

struct StreamingThread::State {
  State(const PluginApi& a, PeriodSink& s) : api(a), sink(&s), work(false, false), done(false, false) {
    InitializeCriticalSection(&sinkGuard);
  }
  ~State() { DeleteCriticalSection(&sinkGuard); }

  const PluginApi api;  // a copy: the loader's may go first
  PeriodSink* sink;     // null once the owner has gone; read and cleared under sinkGuard
  CRITICAL_SECTION sinkGuard;
  EventObject work;
  EventObject done;
  volatile LONG job = kIdle;
  volatile LONG busy = 0;
  volatile LONG holders = 1;  // the object, and the thread while it runs
  uint32_t periodsWanted = 0;
  DWORD periodMs = 0;
  volatile LONG periodsDone = 0;
  volatile LONG halt = 0;  // the running pull ends after its current period
};

StreamingThread::StreamingThread(const PluginApi& api, PeriodSink& sink)
    : state_(new (std::nothrow) State(api, sink)) {}

StreamingThread::~StreamingThread() {
  if (!state_) return;
  if (thread_ && !Stop(finalStopWaitMs_)) {
    // Still inside the plug-in: from now on no result reaches the sink, and the
    // thread frees the state when it comes back and sees the quit.
    EnterCriticalSection(&state_->sinkGuard);
    state_->sink = nullptr;
    LeaveCriticalSection(&state_->sinkGuard);
  }
  Release(state_);
}

void StreamingThread::Release(State* state) {
  if (InterlockedDecrement(&state->holders) == 0) delete state;
}

bool StreamingThread::Start() {
  if (thread_) return true;
  if (!state_ || !state_->work.Valid() || !state_->done.Valid()) return false;
  std::unique_ptr<ThreadObject> thread(new (std::nothrow) ThreadObject(&StreamingThread::Main, state_));
  if (!thread || !thread->Valid()) return false;
  InterlockedIncrement(&state_->holders);
  if (!thread->Start()) {
    InterlockedDecrement(&state_->holders);  // it never ran
    return false;
  }
  thread_ = std::move(thread);
  return true;
}

bool StreamingThread::Stop(DWORD timeoutMs) {
  if (!thread_) return true;
  // A thread still busy with a job that overran its wait sees the quit when it is done.
  InterlockedExchange(&state_->job, kQuit);
  SetEvent(state_->work.Handle());
  bool ended = thread_->Wait(timeoutMs);
  if (ended) thread_.reset();
  return ended;
}

DWORD StreamingThread::ThreadId() const { return thread_ ? thread_->ThreadId() : 0; }

bool StreamingThread::StartJob(Job job) {
  if (!thread_ || state_->busy) return false;
  InterlockedExchange(&state_->busy, 1);
  InterlockedExchange(&state_->halt, 0);
  ResetEvent(state_->done.Handle());
  InterlockedExchange(&state_->job, job);
  SetEvent(state_->work.Handle());
  return true;
}

bool StreamingThread::RunJob(Job job, DWORD timeoutMs) {
  return StartJob(job) && PumpUntilSignalled(state_->done.Handle(), timeoutMs);
}

bool StreamingThread::Pull(uint32_t periods, DWORD periodMs, DWORD timeoutMs) {
  return Begin(periods, periodMs) && PumpUntilSignalled(state_->done.Handle(), timeoutMs);
}

bool StreamingThread::Begin(uint32_t periods, DWORD periodMs) {
  if (!state_ || state_->busy) return false;
  state_->periodsWanted = periods;
  state_->periodMs = periodMs;
  return StartJob(kPull);
}

bool StreamingThread::Halt(DWORD timeoutMs) {
  if (!state_ || !state_->busy) return true;
  InterlockedExchange(&state_->halt, 1);
  return PumpUntilSignalled(state_->done.Handle(), timeoutMs);
}

bool StreamingThread::ReportStreamingError(DWORD timeoutMs) { return RunJob(kStreamingError, timeoutMs); }

void StreamingThread::DoPull(State& state) {
  DWORD start = GetTickCount();
  const bool sinkPaced = state.periodMs == kSinkPaced;
  for (uint32_t i = 0; i < state.periodsWanted && state.job != kQuit && !state.halt; ++i) {
    uint32_t period = (uint32_t)state.periodsDone;
    if (sinkPaced) {
      EnterCriticalSection(&state.sinkGuard);
      bool go = state.sink && state.sink->BeforePeriod(period);
      LeaveCriticalSection(&state.sinkGuard);
      if (!go) break;
    } else if (state.periodMs) {
      // Real-time pacing: period i starts i periods after the first.
      DWORD due = (DWORD)(i * state.periodMs);
      DWORD elapsed = GetTickCount() - start;
      if (elapsed < due) Sleep(due - elapsed);
    }
    for (int c = 0; c < kNumChannels; ++c) {
      uint8_t* data = nullptr;
      int32_t count = 0;
      int32_t result = state.api.readStreamChannel(c, &data, &count);
      EnterCriticalSection(&state.sinkGuard);
      if (state.sink) state.sink->OnChannelRead(period, c, result, result ? data : nullptr, result ? count : 0);
      LeaveCriticalSection(&state.sinkGuard);
    }
    if (sinkPaced) {
      EnterCriticalSection(&state.sinkGuard);
      if (state.sink) state.sink->AfterPeriod(period);
      LeaveCriticalSection(&state.sinkGuard);
    }
    InterlockedIncrement(&state.periodsDone);
  }
}

DWORD WINAPI StreamingThread::Main(void* param) {
  State* state = static_cast<State*>(param);
  for (;;) {
    state->work.Wait(INFINITE);
    LONG job = state->job;
    if (job == kQuit) break;
    if (job == kPull) DoPull(*state);
    if (job == kStreamingError) state->api.onStreamingError(0, 0);
    InterlockedCompareExchange(&state->job, kIdle, job);
    InterlockedExchange(&state->busy, 0);
    SetEvent(state->done.Handle());
  }
  Release(state);
  return 0;
}

}  // namespace hostkit
