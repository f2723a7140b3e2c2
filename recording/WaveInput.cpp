#include "recording/WaveInput.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/ErrorCodes.h"

namespace {
// The device writes the flags from its own thread.
bool Returned(const WAVEHDR* header) {
  return (*reinterpret_cast<const volatile DWORD*>(&header->dwFlags) & WHDR_DONE) != 0;
}

// How often the recorder thread looks at the clock while no buffer comes back.
constexpr DWORD kSilencePollMs = 100;
// The ring holds at least this many blocks besides the device's own buffers.
constexpr uint32_t kMinRingSlots = 8;

volatile LONG g_unloading = 0;
// A parked thread waits on this, which nothing ever sets.
HANDLE g_never = nullptr;
}  // namespace

void WaveInput::SetUnloading(bool unloading) { InterlockedExchange(&g_unloading, unloading ? 1 : 0); }

WaveInput::WaveInput()
    : buffersReturned_(true, false),
      deviceSignal_(false, false),
      quit_(true, false),
      ringFilled_(false, false),
      writerQuit_(true, false),
      recorderLeft_(true, false),
      writerLeft_(true, false) {
  classId_ = kWaveInput;
  takeText_[0] = '\0';
  InitializeCriticalSection(&requeueLock_);
}

WaveInput::~WaveInput() {
  if (Recording()) Stop();
  EndThreads();
  if (deviceOpen_ && !g_unloading) CloseDevice();
  if (deviceOpen_) {
    // A device that cannot be closed may still write into its buffers: they, and the
    // event it signals, are left to it on purpose rather than freed under it.
    buffers_.release();
    blocks_.release();
    deviceSignal_.Release();
  }
  DeleteCriticalSection(&requeueLock_);
}

// A device that cannot say what it is stays in the list without a name: nothing is
// shown for it (this runs while the window is being made).
void WaveInput::GetDeviceCaps(int32_t device, WaveDeviceCaps* caps) {
  if (!caps) return;
  memset(caps, 0, sizeof *caps);
  WAVEINCAPSA platform;
  memset(&platform, 0, sizeof platform);
  if (waveInGetDevCapsA(static_cast<UINT_PTR>(device), &platform, sizeof platform) != MMSYSERR_NOERROR) return;
  caps->manufacturerId = platform.wMid;
  caps->productId = platform.wPid;
  caps->driverVersion = LOWORD(platform.vDriverVersion);
  lstrcpynA(caps->name, platform.szPname, sizeof caps->name);
  caps->formats = platform.dwFormats;
  caps->channels = platform.wChannels;
  caps->support = 0;
}

int WaveInput::OpenDevice(int32_t device, DWORD_PTR callback, DWORD flags) {
  HWAVEIN handle = nullptr;
  MMRESULT result = waveInOpen(&handle, static_cast<UINT>(device), &format_, callback,
                               reinterpret_cast<DWORD_PTR>(this), flags);
  if (result != MMSYSERR_NOERROR) return ReportDeviceError(result, "opened");
  device_ = handle;
  deviceOpen_ = true;
  lastError_ = 0;
  return 0;
}

int WaveInput::CloseDevice() {
  if (!device_) return 0;
  MMRESULT result = waveInClose(device_);
  if (result != MMSYSERR_NOERROR) return ReportDeviceError(result, "closed");
  device_ = nullptr;
  deviceOpen_ = false;
  lastError_ = 0;
  return 0;
}

void WaveInput::GetDeviceErrorText(MMRESULT result, char* text, UINT size) {
  if (waveInGetErrorTextA(result, text, size) != MMSYSERR_NOERROR && size > 0) text[0] = '\0';
}

void WaveInput::SetDataCallback(RecordedBlockCallback callback, void* context) {
  dataCallback_ = callback;
  callbackContext_ = context;
}

void WaveInput::SetTakeEndedCallback(TakeEndedCallback callback, void* context) {
  endedCallback_ = callback;
  endedContext_ = context;
}

void WaveInput::SetBeforeWriteHook(BeforeWriteHook hook, void* context) {
  beforeWrite_ = hook;
  beforeWriteContext_ = context;
}

DWORD WaveInput::RecorderThreadId() const { return thread_ ? thread_->ThreadId() : 0; }

DWORD WaveInput::SilenceLimitMs() const {
  const uint32_t rate = format_.nAvgBytesPerSec ? format_.nAvgBytesPerSec : 1;
  return static_cast<DWORD>(static_cast<uint64_t>(bufferSize_) * 1000 / rate) + kSilenceMarginMs;
}

bool WaveInput::AllBuffersReturned() const {
  if (bufferCount_ < 1 || !buffers_) return true;
  for (int32_t i = 0; i < bufferCount_; ++i)
    if (buffers_[i].dwUser != 0) return false;
  return true;
}

// On the interface thread at the start: kRingMs of audio in whole buffers, and a few
// buffers more than the device holds, so that a stop never finds the ring short.
int WaveInput::PrepareRing() {
  const uint64_t rate = format_.nAvgBytesPerSec ? format_.nAvgBytesPerSec : 1;
  uint64_t slots = (rate * kRingMs / 1000 + bufferSize_ - 1) / bufferSize_;
  const uint64_t least = static_cast<uint64_t>(bufferCount_) + kMinRingSlots;
  if (slots < least) slots = least;
  if (ring_ && ringSlots_ == slots && ringSlotSize_ == bufferSize_) return 0;
  ring_.reset();
  ringBytes_.reset();
  ringSlots_ = ringSlotSize_ = 0;
  const uint64_t bytes = slots * bufferSize_;
  if (bytes > 0x7FFFFFFFu) return Fail(Error::OutOfMemory);
  ring_.reset(new (std::nothrow) char[static_cast<size_t>(bytes)]);
  ringBytes_.reset(new (std::nothrow) uint32_t[static_cast<size_t>(slots)]);
  if (!ring_ || !ringBytes_) {
    ring_.reset();
    ringBytes_.reset();
    return Fail(Error::OutOfMemory);
  }
  ringSlots_ = static_cast<uint32_t>(slots);
  ringSlotSize_ = bufferSize_;
  return 0;
}

bool WaveInput::StartThread(std::unique_ptr<ThreadObject>* thread, LPTHREAD_START_ROUTINE main, int priority) {
  thread->reset(new (std::nothrow) ThreadObject(main, this));
  if (!*thread || !(*thread)->Valid()) {
    thread->reset();
    return false;
  }
  SetThreadPriority((*thread)->Handle(), priority);
  if ((*thread)->Start()) return true;
  thread->reset();
  return false;
}

// Called by the pre-recorder after AllocateBuffers. Every buffer is at the device
// before it starts, so the first blocks come back in the order they were queued.
int WaveInput::Start(const char* path, uint32_t fileBufferSize) {
  if (Recording()) return Fail(Error::DeviceBusy);
  if (!buffersAllocated_) return Fail(Error::NotReady);
  // A device whose close failed after the last take is closed now, or nothing can start.
  if (deviceOpen_) {
    if (int code = CloseDevice()) return code;
  }
  if (int code = PrepareRing()) return code;
  for (int32_t i = 0; i < bufferCount_; ++i) buffers_[i].dwUser = 0;
  nextBuffer_ = 0;
  stopRequested_ = 0;
  takeEnd_ = kRunning;
  ringIn_ = ringOut_ = 0;
  ringPeak_ = 0;
  ranDry_ = 0;
  lstrcpynA(takePath_, path ? path : "", sizeof takePath_);
  ResetEvent(buffersReturned_.Handle());
  ResetEvent(quit_.Handle());
  ResetEvent(writerQuit_.Handle());
  ResetEvent(ringFilled_.Handle());
  ResetEvent(recorderLeft_.Handle());
  ResetEvent(writerLeft_.Handle());

  int code = OpenDevice(deviceNumber_, reinterpret_cast<DWORD_PTR>(deviceSignal_.Handle()), CALLBACK_EVENT);
  if (code != 0) return code;
  (void)fileBufferSize;  // every block goes straight to the system: nothing is held back
  if (!writer_.Create(path, format_)) {
    CloseDevice();
    snprintf(takeText_, sizeof takeText_, "No take can be recorded to %s: %s", takePath_, writer_.Reason());
    errorText_ = takeText_;
    return Fail(Error::TakeRefused);
  }
  recording_ = true;
  lastReturn_ = GetTickCount();
  // The recorder thread only moves blocks between the device and the ring: it runs
  // before anything else of the process, as recorders' device threads do.
  if (!StartThread(&thread_, RecorderMain, THREAD_PRIORITY_TIME_CRITICAL) ||
      !StartThread(&writerThread_, WriterMain, THREAD_PRIORITY_NORMAL)) {
    EndThreads();
    EndTake(false);
    return Fail(Error::OutOfMemory);
  }
  code = QueueAll();
  MMRESULT result = code == 0 ? waveInStart(device_) : MMSYSERR_NOERROR;
  if (code == 0 && result != MMSYSERR_NOERROR) code = ReportDeviceError(result, "started");
  if (code != 0) {
    // Queued buffers come back at once; nothing was recorded.
    InterlockedExchange(&stopRequested_, 1);
    waveInReset(device_);
    if (!AllBuffersReturned()) buffersReturned_.Wait(kReturnTimeoutMs);
    EndThreads();
    EndTake(false);
    return code;
  }
  lastReturn_ = GetTickCount();
  lastError_ = 0;
  return 0;
}

int WaveInput::QueueBuffers() {
  if (!Recording()) return Fail(Error::NotReady);
  lastError_ = 0;
  return 0;
}

// A buffer's user field is 1 while it is at the device.
int WaveInput::QueueAll() {
  for (int32_t i = 0; i < bufferCount_; ++i) {
    WAVEHDR* header = &buffers_[i];
    header->dwFlags = 0;
    header->dwBytesRecorded = 0;
    MMRESULT result = waveInPrepareHeader(device_, header, sizeof *header);
    if (result == MMSYSERR_NOERROR) {
      header->dwUser = 1;
      result = waveInAddBuffer(device_, header, sizeof *header);
      if (result != MMSYSERR_NOERROR) {
        header->dwUser = 0;
        waveInUnprepareHeader(device_, header, sizeof *header);
      }
    }
    if (result != MMSYSERR_NOERROR) return ReportDeviceError(result, "given its buffers");
  }
  return 0;
}

DWORD WINAPI WaveInput::RecorderMain(void* self) {
  WaveInput* input = static_cast<WaveInput*>(self);
  input->RunRecorder();
  return Leave(input->recorderLeft_.Handle());
}

DWORD WINAPI WaveInput::WriterMain(void* self) {
  WaveInput* input = static_cast<WaveInput*>(self);
  input->RunWriter();
  return Leave(input->writerLeft_.Handle());
}

// While the library is unloaded, the thread that unloads it holds the loader lock,
// which a thread needs to end. Done with its object, the thread tells so and waits in
// the same call, where it is ended from outside (it holds nothing there, and never
// runs code of the library again).
DWORD WaveInput::Leave(HANDLE left) {
  if (g_unloading) {
    HANDLE never = g_never;
    if (!never) {
      never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      if (InterlockedCompareExchangePointer(&g_never, never, nullptr) != nullptr) {
        CloseHandle(never);
        never = g_never;
      }
    }
    SignalObjectAndWait(left, never, INFINITE, FALSE);
  }
  SetEvent(left);
  return 0;
}

void WaveInput::RunRecorder() {
  for (;;) {
    int which = WaitForTwo(deviceSignal_.Handle(), quit_.Handle(), false, kSilencePollMs);
    if (which == 1) break;
    if (TakeReturnedBuffers()) {
      lastReturn_ = GetTickCount();
    } else if (!stopRequested_ && takeEnd_ == kRunning && GetTickCount() - lastReturn_ > SilenceLimitMs()) {
      // The device has given nothing back for longer than a buffer takes to fill and
      // a second more: it is gone or stopped. The take ends here, as a failed write ends it.
      EndByItself(kDeviceSilent);
    }
  }
}

// Buffers come back in the order they were queued, and each one is queued again
// behind the others, so the oldest buffer at the device is always the next to return.
bool WaveInput::TakeReturnedBuffers() {
  bool any = false;
  if (!stopRequested_) {
    int32_t done = 0;
    for (int32_t i = 0; i < bufferCount_; ++i) done += buffers_[i].dwUser != 0 && Returned(&buffers_[i]);
    if (done == bufferCount_) ++ranDry_;
  }
  for (;;) {
    WAVEHDR* next = nullptr;
    int32_t index = 0;
    for (int32_t k = 0; k < bufferCount_; ++k) {
      index = (nextBuffer_ + k) % bufferCount_;
      if (buffers_[index].dwUser != 0) {
        next = &buffers_[index];
        break;
      }
    }
    if (!next || !Returned(next)) return any;
    nextBuffer_ = (index + 1) % bufferCount_;
    OnBufferDone(next);
    any = true;
  }
}

// On the recorder or the writer thread: no more blocks go to the file after those
// already taken; the owner stops the take.
void WaveInput::EndByItself(TakeEnd why) {
  if (InterlockedCompareExchange(&takeEnd_, why, kRunning) != kRunning) return;
  if (endedCallback_) endedCallback_(endedContext_);
}

// On the recorder thread: a copy into the ring and the buffer back at the device, no
// disk, no allocation. The lock keeps a re-queue from slipping in between the stop
// request and the reset that takes every queued buffer back.
void WaveInput::OnBufferDone(WAVEHDR* header) {
  EnterCriticalSection(&requeueLock_);
  waveInUnprepareHeader(device_, header, sizeof *header);
  const uint32_t bytes = header->dwBytesRecorded;
  const bool stopping = stopRequested_ != 0;
  // After the stop request only full buffers count: the device filled them before it
  // stopped. A partly filled one is dropped, so the take stays whole buffers.
  const bool keep = bytes > 0 && bytes <= ringSlotSize_ && takeEnd_ == kRunning &&
                    (!stopping || bytes == header->dwBufferLength);
  if (keep) {
    const uint32_t pending = static_cast<uint32_t>(ringIn_ - ringOut_);
    if (pending >= ringSlots_) {
      // The writer has fallen further behind than the ring holds: the file ends with
      // the blocks before this one rather than with a gap in it.
      EndByItself(kOverrun);
    } else {
      const uint32_t slot = static_cast<uint32_t>(ringIn_) % ringSlots_;
      memcpy(ring_.get() + static_cast<size_t>(slot) * ringSlotSize_, header->lpData, bytes);
      ringBytes_[slot] = bytes;
      InterlockedIncrement(&ringIn_);
      if (pending + 1 > ringPeak_) ringPeak_ = pending + 1;
      SetEvent(ringFilled_.Handle());
    }
  }
  bool queued = false;
  if (!stopping && takeEnd_ == kRunning) {
    header->dwFlags = 0;
    queued = waveInPrepareHeader(device_, header, sizeof *header) == MMSYSERR_NOERROR &&
             waveInAddBuffer(device_, header, sizeof *header) == MMSYSERR_NOERROR;
    if (!queued) waveInUnprepareHeader(device_, header, sizeof *header);
  }
  if (!queued) {
    header->dwUser = 0;
    if (stopping && AllBuffersReturned()) SetEvent(buffersReturned_.Handle());
  }
  LeaveCriticalSection(&requeueLock_);
}

void WaveInput::RunWriter() {
  for (;;) {
    int which = WaitForTwo(ringFilled_.Handle(), writerQuit_.Handle(), false, INFINITE);
    DrainRing();
    if (which != 0) break;
  }
  // Told to quit after the recorder thread ended: whatever it put in last.
  DrainRing();
}

// On the writer thread: every block in the ring to the file and the data callback, in
// order. A take that ended by a failed write or at the size limit takes no more; one
// that ended at the device keeps every block that came before.
void WaveInput::DrainRing() {
  while (ringOut_ != ringIn_) {
    const uint32_t slot = static_cast<uint32_t>(ringOut_) % ringSlots_;
    const char* block = ring_.get() + static_cast<size_t>(slot) * ringSlotSize_;
    const uint32_t bytes = ringBytes_[slot];
    const LONG end = takeEnd_;
    bool write = end != kWriteFailed && end != kSizeLimit;
    if (write && beforeWrite_) beforeWrite_(beforeWriteContext_, writer_.DataBytes());
    if (write && !writer_.Fits(bytes)) {
      write = false;
      EndByItself(kSizeLimit);
    }
    if (write && !writer_.Append(block, bytes)) {
      write = false;
      EndByItself(kWriteFailed);
    }
    if (write && dataCallback_) dataCallback_(callbackContext_, reinterpret_cast<const uint8_t*>(block), bytes);
    // The slot is the recorder thread's again only now.
    InterlockedIncrement(&ringOut_);
  }
}

// Called by the pre-recorder to end a take (also one that ended by itself), and by the destructor.
int WaveInput::Stop() {
  if (!Recording()) return 0;
  EnterCriticalSection(&requeueLock_);
  stopRequested_ = 1;
  LeaveCriticalSection(&requeueLock_);
  // A device that went silent is expected to fail now: the take's end says why.
  const bool silent = takeEnd_ == kDeviceSilent;
  const bool wasQuiet = Quiet();
  if (silent) SetQuiet(true);

  int code = 0;
  // The buffer being filled comes back with what it holds; full ones wait for the thread.
  MMRESULT result = waveInStop(device_);
  if (result != MMSYSERR_NOERROR) code = ReportDeviceError(result, "stopped");
  // The empty buffers still queued come back too.
  result = waveInReset(device_);
  if (result != MMSYSERR_NOERROR && code == 0) code = ReportDeviceError(result, "stopped");
  // Buffers the thread has not taken yet are taken here (it may have ended early).
  if (!AllBuffersReturned()) buffersReturned_.Wait(kReturnTimeoutMs);
  ResetEvent(buffersReturned_.Handle());
  EndThreads();

  int endCode = EndTake(true);
  if (silent) {
    SetQuiet(wasQuiet);
    code = endCode == Error::WaveDevice ? 0 : endCode;
  } else if (code == 0) {
    code = endCode;
  }
  lastError_ = code;
  return code;
}

void WaveInput::EndThread(std::unique_ptr<ThreadObject>* thread, HANDLE quit, EventObject* left) {
  if (!*thread) return;
  SetEvent(quit);
  if (g_unloading) {
    // It cannot end while the library is unloaded (see Leave): once it is done with
    // this object it waits, holding nothing, and is ended there.
    left->Wait(INFINITE);
    TerminateThread((*thread)->Handle(), 0);
  } else {
    (*thread)->Wait(INFINITE);
  }
  thread->reset();
}

// The recorder thread first, so that the writer finds every block it put in the ring.
void WaveInput::EndThreads() {
  EndThread(&thread_, quit_.Handle(), &recorderLeft_);
  EndThread(&writerThread_, writerQuit_.Handle(), &writerLeft_);
}

// Closes the device and the take's file: finished with whole frames, or closed and
// deleted when the take never started. A device that refuses to close is reported
// (it keeps its buffers and is closed again at the next start); the file is dealt
// with all the same.
int WaveInput::EndTake(bool finish) {
  // Closing waits for the platform's own threads to end, which they cannot while the
  // library is unloaded under the loader lock. The device is stopped and holds no
  // buffer by then: it is left open (its buffers with it) until the process ends.
  int code = g_unloading ? 0 : CloseDevice();
  if (!recording_) return code;
  recording_ = false;
  int fileCode = 0;
  if (finish) {
    if (!writer_.Finish()) fileCode = Error::Write;
  } else {
    writer_.Finish();
    DeleteFileA(takePath_);
  }
  if (code == 0 && fileCode != 0) {
    snprintf(takeText_, sizeof takeText_, "The take %s could not be finished: %s", takePath_, writer_.Reason());
    errorText_ = takeText_;
    code = Fail(Error::TakeEnded);
  }
  return code;
}
