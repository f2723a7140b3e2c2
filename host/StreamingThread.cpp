#include "host/StreamingThread.h"

#include <new>

#include "host/MessagePump.h"
#include "core/SyncObject.h"

namespace hostkit {

StreamingThread::StreamingThread(const PluginApi& api, PeriodSink& sink) : api_(api), sink_(sink) {}

StreamingThread::~StreamingThread() {
  Stop();
  delete work_;
  delete done_;
}

bool StreamingThread::Start() {
  if (thread_) return true;
  work_ = new (std::nothrow) EventObject(false, false);
  done_ = new (std::nothrow) EventObject(false, false);
  if (!work_ || !done_ || !work_->Valid() || !done_->Valid()) return false;
  thread_ = new (std::nothrow) ThreadObject(&StreamingThread::Main, this);
  if (!thread_ || !thread_->Valid() || !thread_->Resume()) {
    delete thread_;
    thread_ = nullptr;
    return false;
  }
  return true;
}

bool StreamingThread::Stop(DWORD timeoutMs) {
  if (!thread_) return true;
  // A thread still busy with a job that overran its wait sees the quit when it is done.
  InterlockedExchange(&job_, kQuit);
  SetEvent(work_->Handle());
  bool ended = thread_->Wait(timeoutMs);
  if (ended) {
    delete thread_;
    thread_ = nullptr;
  }
  return ended;
}

DWORD StreamingThread::ThreadId() const { return thread_ ? thread_->ThreadId() : 0; }

bool StreamingThread::RunJob(Job job, DWORD timeoutMs) {
  if (!thread_ || busy_) return false;
  InterlockedExchange(&busy_, 1);
  ResetEvent(done_->Handle());
  InterlockedExchange(&job_, job);
  SetEvent(work_->Handle());
  return PumpUntilSignalled(done_->Handle(), timeoutMs);
}

bool StreamingThread::Pull(uint32_t periods, DWORD periodMs, DWORD timeoutMs) {
  if (busy_) return false;
  periodsWanted_ = periods;
  periodMs_ = periodMs;
  return RunJob(kPull, timeoutMs);
}

bool StreamingThread::ReportStreamingError(DWORD timeoutMs) { return RunJob(kStreamingError, timeoutMs); }

void StreamingThread::DoPull() {
  DWORD start = GetTickCount();
  for (uint32_t i = 0; i < periodsWanted_ && job_ != kQuit; ++i) {
    if (periodMs_) {
      // Real-time pacing: period i starts i periods after the first.
      DWORD due = (DWORD)(i * periodMs_);
      DWORD elapsed = GetTickCount() - start;
      if (elapsed < due) Sleep(due - elapsed);
    }
    uint32_t period = (uint32_t)periodsDone_;
    for (int c = 0; c < kNumChannels; ++c) {
      uint8_t* data = nullptr;
      int32_t count = 0;
      int32_t result = api_.readStreamChannel(c, &data, &count);
      if (result) sink_.OnChannelRead(period, c, result, data, count);
      else sink_.OnChannelRead(period, c, result, nullptr, 0);
    }
    InterlockedIncrement(&periodsDone_);
  }
}

DWORD WINAPI StreamingThread::Main(void* param) {
  StreamingThread* self = static_cast<StreamingThread*>(param);
  for (;;) {
    self->work_->Wait(INFINITE);
    LONG job = self->job_;
    if (job == kQuit) return 0;
    if (job == kPull) self->DoPull();
    if (job == kStreamingError) self->api_.onStreamingError(0, 0);
    InterlockedCompareExchange(&self->job_, kIdle, job);
    InterlockedExchange(&self->busy_, 0);
    SetEvent(self->done_->Handle());
  }
}

}  // namespace hostkit
