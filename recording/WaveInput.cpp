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
}  // namespace

WaveInput::WaveInput()
    : buffersReturned_(true, false), deviceSignal_(false, false), quit_(true, false) {
  classId_ = kWaveInput;
  takeText_[0] = '\0';
  InitializeCriticalSection(&requeueLock_);
}

WaveInput::~WaveInput() {
  if (Recording()) Stop();
  EndThread();
  if (deviceOpen_) CloseDevice();
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
  if (result != MMSYSERR_NOERROR) return ReportDeviceError(result);
  device_ = handle;
  deviceOpen_ = true;
  lastError_ = 0;
  return 0;
}

int WaveInput::CloseDevice() {
  if (!device_) return 0;
  MMRESULT result = waveInClose(device_);
  if (result != MMSYSERR_NOERROR) return ReportDeviceError(result);
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

DWORD WaveInput::RecorderThreadId() const { return thread_ ? thread_->ThreadId() : 0; }

bool WaveInput::AllBuffersReturned() const {
  if (bufferCount_ < 1 || !buffers_) return true;
  for (int32_t i = 0; i < bufferCount_; ++i)
    if (buffers_[i].dwUser != 0) return false;
  return true;
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
  for (int32_t i = 0; i < bufferCount_; ++i) buffers_[i].dwUser = 0;
  nextBuffer_ = 0;
  stopRequested_ = 0;
  takeEnd_ = kRunning;
  lstrcpynA(takePath_, path ? path : "", sizeof takePath_);
  ResetEvent(buffersReturned_.Handle());
  ResetEvent(quit_.Handle());

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
  thread_.reset(new (std::nothrow) ThreadObject(RecorderMain, this));
  if (!thread_ || !thread_->Valid() || !thread_->Start()) {
    thread_.reset();
    EndTake(false);
    return Fail(Error::OutOfMemory);
  }
  code = QueueAll();
  MMRESULT result = code == 0 ? waveInStart(device_) : MMSYSERR_NOERROR;
  if (code == 0 && result != MMSYSERR_NOERROR) code = ReportDeviceError(result);
  if (code != 0) {
    // Queued buffers come back at once; nothing was recorded.
    InterlockedExchange(&stopRequested_, 1);
    waveInReset(device_);
    if (!AllBuffersReturned()) buffersReturned_.Wait(kReturnTimeoutMs);
    EndThread();
    EndTake(false);
    return code;
  }
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
    if (result != MMSYSERR_NOERROR) return ReportDeviceError(result);
  }
  return 0;
}

DWORD WINAPI WaveInput::RecorderMain(void* self) {
  static_cast<WaveInput*>(self)->RunRecorder();
  return 0;
}

void WaveInput::RunRecorder() {
  for (;;) {
    int which = WaitForTwo(deviceSignal_.Handle(), quit_.Handle(), false, INFINITE);
    if (which != 0) break;
    TakeReturnedBuffers();
  }
}

// Buffers come back in the order they were queued, and each one is queued again
// behind the others, so the oldest buffer at the device is always the next to return.
void WaveInput::TakeReturnedBuffers() {
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
    if (!next || !Returned(next)) return;
    nextBuffer_ = (index + 1) % bufferCount_;
    OnBufferDone(next);
  }
}

// On the recorder thread: no more blocks go to the file; the owner stops the take.
void WaveInput::EndByItself(TakeEnd why) {
  if (InterlockedCompareExchange(&takeEnd_, why, kRunning) != kRunning) return;
  if (endedCallback_) endedCallback_(endedContext_);
}

// On the recorder thread. The lock keeps a re-queue from slipping in between the
// stop request and the reset that takes every queued buffer back.
void WaveInput::OnBufferDone(WAVEHDR* header) {
  EnterCriticalSection(&requeueLock_);
  waveInUnprepareHeader(device_, header, sizeof *header);
  const uint32_t bytes = header->dwBytesRecorded;
  const bool stopping = stopRequested_ != 0;
  // After the stop request only full buffers count: the device filled them before it
  // stopped. A partly filled one is dropped, so the take stays whole buffers.
  bool write = bytes > 0 && takeEnd_ == kRunning && (!stopping || bytes == header->dwBufferLength);
  if (write && !writer_.Fits(bytes)) {
    write = false;
    EndByItself(kSizeLimit);
  }
  if (write && !writer_.Append(header->lpData, bytes)) {
    write = false;
    EndByItself(kWriteFailed);
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
  // A re-queued block is refilled only after every other buffer: it stays intact here.
  if (write && dataCallback_)
    dataCallback_(callbackContext_, reinterpret_cast<const uint8_t*>(header->lpData), bytes);
}

// Called by the pre-recorder to end a take (also one that ended by itself), and by the destructor.
int WaveInput::Stop() {
  if (!Recording()) return 0;
  EnterCriticalSection(&requeueLock_);
  stopRequested_ = 1;
  LeaveCriticalSection(&requeueLock_);

  int code = 0;
  // The buffer being filled comes back with what it holds; full ones wait for the thread.
  MMRESULT result = waveInStop(device_);
  if (result != MMSYSERR_NOERROR) code = ReportDeviceError(result);
  // The empty buffers still queued come back too.
  result = waveInReset(device_);
  if (result != MMSYSERR_NOERROR && code == 0) code = ReportDeviceError(result);
  // Buffers the thread has not taken yet are taken here (it may have ended early).
  if (!AllBuffersReturned()) buffersReturned_.Wait(kReturnTimeoutMs);
  ResetEvent(buffersReturned_.Handle());
  EndThread();

  int endCode = EndTake(true);
  if (code == 0) code = endCode;
  lastError_ = code;
  return code;
}

// Sets the quit event and joins the recorder thread.
void WaveInput::EndThread() {
  if (!thread_) return;
  SetEvent(quit_.Handle());
  thread_->Wait(INFINITE);
  thread_.reset();
}

// Closes the device and the take's file: finished with whole frames, or closed and
// deleted when the take never started. A device that refuses to close is reported
// (it is closed again at the next start); the file is dealt with all the same.
int WaveInput::EndTake(bool finish) {
  int code = CloseDevice();
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
