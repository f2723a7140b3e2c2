#include "recording/WaveInput.h"

#include <cstring>
#include <new>

#include "core/ErrorCodes.h"
#include "wavedata/WaveFile.h"

namespace {
// The device writes the flags from its own thread.
bool Returned(const WAVEHDR* header) {
  return (*reinterpret_cast<const volatile DWORD*>(&header->dwFlags) & WHDR_DONE) != 0;
}
}  // namespace

WaveInput::WaveInput()
    : buffersReturned_(true, false), deviceSignal_(false, false), quit_(true, false) {
  classId_ = kWaveInput;
  InitializeCriticalSection(&requeueLock_);
}

WaveInput::~WaveInput() {
  if (Recording()) Stop();
  EndThread();
  if (deviceOpen_) CloseDevice();
  DeleteCriticalSection(&requeueLock_);
}

void WaveInput::GetDeviceCaps(int32_t device, WaveDeviceCaps* caps) {
  if (!caps) return;
  memset(caps, 0, sizeof *caps);
  WAVEINCAPSA platform;
  memset(&platform, 0, sizeof platform);
  MMRESULT result = waveInGetDevCapsA(static_cast<UINT_PTR>(device), &platform, sizeof platform);
  if (result != MMSYSERR_NOERROR) {
    ReportDeviceError(result);
    return;
  }
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

DWORD WaveInput::RecorderThreadId() const { return thread_ ? thread_->ThreadId() : 0; }

bool WaveInput::AllBuffersReturned() const {
  if (bufferCount_ < 1 || !buffers_) return true;
  for (int32_t i = 0; i < bufferCount_; ++i)
    if (buffers_[i].dwUser != 0) return false;
  return true;
}

// Called by the pre-recorder after AllocateBuffers. The device signals an event for
// every buffer it gives back; the recorder thread does the rest.
int WaveInput::Start(const char* path, uint32_t fileBufferSize) {
  if (!buffersAllocated_ || Recording() || deviceOpen_) return Fail(Error::NotReady);
  for (int32_t i = 0; i < bufferCount_; ++i) buffers_[i].dwUser = 0;
  nextBuffer_ = 0;
  stopRequested_ = 0;
  bytesRecorded_ = 0;
  ResetEvent(buffersReturned_.Handle());
  ResetEvent(quit_.Handle());

  int code = OpenDevice(deviceNumber_, reinterpret_cast<DWORD_PTR>(deviceSignal_.Handle()), CALLBACK_EVENT);
  if (code != 0) return code;

  file_ = new (std::nothrow) WaveFile();
  if (!file_) {
    CloseDevice();
    return Fail(Error::OutOfMemory);
  }
  code = file_->Open(path, WaveFile::kModeCreate);
  if (code != 0) {
    EndTake(false);
    return code;
  }
  file_->SetBuffer(fileBufferSize);
  file_->BuildHeader(0, format_.nSamplesPerSec, format_.nChannels, format_.wBitsPerSample);
  code = file_->WriteHeader();
  if (code != 0) {
    EndTake(false);
    DeleteFileA(path);
    return code;
  }
  file_->SetQuiet(true);

  thread_ = new (std::nothrow) ThreadObject(RecorderMain, this);
  if (!thread_ || !thread_->Valid() || !thread_->Resume()) {
    delete thread_;
    thread_ = nullptr;
    EndTake(false);
    DeleteFileA(path);
    return Fail(Error::OutOfMemory);
  }
  MMRESULT result = waveInStart(device_);
  if (result != MMSYSERR_NOERROR) {
    code = ReportDeviceError(result);
    EndThread();
    EndTake(false);
    DeleteFileA(path);
    return code;
  }
  lastError_ = 0;
  return 0;
}

// Called right after Start. A buffer's user field is 1 while it is at the device.
int WaveInput::QueueBuffers() {
  if (!device_) return Fail(Error::NotReady);
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
  lastError_ = 0;
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

// On the recorder thread. The lock keeps a re-queue from slipping in between the
// stop request and the reset that takes every queued buffer back.
void WaveInput::OnBufferDone(WAVEHDR* header) {
  EnterCriticalSection(&requeueLock_);
  waveInUnprepareHeader(device_, header, sizeof *header);
  if (stopRequested_) {
    header->dwUser = 0;
    if (AllBuffersReturned()) SetEvent(buffersReturned_.Handle());
    LeaveCriticalSection(&requeueLock_);
    return;
  }
  uint32_t bytes = header->dwBytesRecorded;
  uint32_t written = 0;
  if (bytes > 0 && file_->Write(header->lpData, bytes, &written) == 0)
    InterlockedExchangeAdd(&bytesRecorded_, static_cast<LONG>(written));
  header->dwFlags = 0;
  bool queued = waveInPrepareHeader(device_, header, sizeof *header) == MMSYSERR_NOERROR &&
                waveInAddBuffer(device_, header, sizeof *header) == MMSYSERR_NOERROR;
  if (!queued) {
    waveInUnprepareHeader(device_, header, sizeof *header);
    header->dwUser = 0;
  }
  LeaveCriticalSection(&requeueLock_);
  // A re-queued block is refilled only after every other buffer: it stays intact here.
  if (dataCallback_) dataCallback_(callbackContext_, reinterpret_cast<const uint8_t*>(header->lpData), bytes);
}

// Called by the pre-recorder to end a take, and by the destructor.
int WaveInput::Stop() {
  if (!Recording()) return 0;
  EnterCriticalSection(&requeueLock_);
  stopRequested_ = 1;
  LeaveCriticalSection(&requeueLock_);

  int code = 0;
  // Every queued buffer comes back at once, filled or not; the thread drops them.
  MMRESULT result = waveInReset(device_);
  if (result != MMSYSERR_NOERROR) code = ReportDeviceError(result);
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
  delete thread_;
  thread_ = nullptr;
}

// Closes the device and the output file, finishing the file first when asked. A device
// that refuses to close is reported; the file is finished and closed all the same.
int WaveInput::EndTake(bool finish) {
  int code = CloseDevice();
  if (!file_) return code;
  int fileCode = finish ? file_->Finish(static_cast<uint32_t>(bytesRecorded_)) : 0;
  int closeCode = file_->Close();
  if (fileCode == 0) fileCode = closeCode;
  delete file_;
  file_ = nullptr;
  return code != 0 ? code : fileCode;
}
