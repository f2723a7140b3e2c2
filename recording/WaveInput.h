// Records from a wave input device straight into a new wave file. The platform only
// signals an event when a buffer comes back; the recorder thread owned by this object
// writes the block, puts the buffer back at the device and calls the data callback.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <memory>

#include "core/SyncObject.h"
#include "recording/TakeWriter.h"
#include "recording/WaveDevice.h"

// Called on the recorder thread (neither the caller's nor the platform's), once per
// block written to the file, in order.
typedef void (*RecordedBlockCallback)(void* context, const uint8_t* block, uint32_t bytes);
// Called once on the recorder thread when a take ends by itself (TakeEnd() tells
// why); the owner then stops it on its own thread.
typedef void (*TakeEndedCallback)(void* context);

class WaveInput : public WaveDevice {
 public:
  // Time Stop waits for the device to give its buffers back after the reset.
  static constexpr DWORD kReturnTimeoutMs = 2000;

  WaveInput();
  // A recording still running is stopped: device closed, file finished, thread ended.
  ~WaveInput() override;

  void GetDeviceCaps(int32_t device, WaveDeviceCaps* caps) override;
  int OpenDevice(int32_t device, DWORD_PTR callback, DWORD flags) override;
  int CloseDevice() override;

  // Why a take ended before its stop.
  enum TakeEnd : LONG {
    kRunning = 0,
    kWriteFailed = 1,  // a write failed or was short: the file keeps what was written
    kSizeLimit = 2,    // the next block would pass the RIFF size limit
  };

  // Opens the device (closing one whose earlier close failed first), creates the
  // file with its header, queues every buffer and then starts the device and the
  // recorder thread. 0; 16 without buffers; 37 while recording; 101 device; 104 when
  // the file cannot be written (with the file and the system's reason as text; no
  // file is left).
  int Start(const char* path, uint32_t fileBufferSize);
  // The buffers are queued by Start: 0 while recording, 16 otherwise.
  int QueueBuffers();
  // Stops the device, writes every buffer it had filled (a partly filled last one is
  // dropped, so the data stays whole buffers), takes the rest back, ends the thread,
  // closes the device and finishes the file. 0; 101 when the device cannot be stopped
  // or closed (the file is finished nevertheless; a device left open is closed again
  // at the next Start); 5 when finishing the file failed.
  int Stop();
  // True when no buffer is queued at the device (or there are none).
  bool AllBuffersReturned() const;
  // Between a successful Start and the next Stop.
  bool Recording() const { return recording_; }
  // Sample bytes written to the file since the start.
  uint64_t BytesRecorded() const { return writer_.DataBytes(); }
  // Set while not recording.
  void SetDataCallback(RecordedBlockCallback callback, void* context);
  void SetTakeEndedCallback(TakeEndedCallback callback, void* context);
  // Why the current (or last) take ended by itself, or kRunning.
  TakeEnd TakeEndReason() const { return static_cast<TakeEnd>(takeEnd_); }
  // The file of the current (or last) take, and the system's words for a failure.
  const char* TakePath() const { return takePath_; }
  const char* TakeFailure() const { return writer_.Reason(); }
  // The RIFF size at which takes end (the wave header's limit unless set smaller).
  void SetRiffLimit(uint64_t limit) { writer_.SetRiffLimit(limit); }
  // Audio bytes between header refreshes (see TakeWriter); set while not recording.
  void SetRefreshInterval(uint32_t bytes) { writer_.SetRefreshInterval(bytes); }
  uint32_t HeaderRefreshes() const { return writer_.Refreshes(); }
  // The recorder thread's id while recording, else 0.
  DWORD RecorderThreadId() const;

 protected:
  void GetDeviceErrorText(MMRESULT result, char* text, UINT size) override;

 private:
  static DWORD WINAPI RecorderMain(void* self);
  // The recorder thread: waits for returned buffers until told to quit.
  void RunRecorder();
  // Handles every buffer the device has given back, in queue order.
  void TakeReturnedBuffers();
  // One returned buffer: unprepare; written and handed to the data callback when the
  // take runs (then queued again) or, after a stop request, when it is full.
  void OnBufferDone(WAVEHDR* header);
  // The take ends by itself: nothing more is written, the owner is told once.
  void EndByItself(TakeEnd why);
  // Closes the device and finishes the file (it may be closed and deleted instead).
  int EndTake(bool finish);
  void EndThread();
  // Prepares and adds every buffer; on the interface thread before the device starts.
  int QueueAll();

  HWAVEIN device_ = nullptr;
  volatile LONG stopRequested_ = 0;
  EventObject buffersReturned_;  // manual reset: the last buffer came back after the stop request
  EventObject deviceSignal_;     // auto reset: the platform's notification (CALLBACK_EVENT)
  EventObject quit_;             // manual reset: the recorder thread ends
  std::unique_ptr<ThreadObject> thread_;
  CRITICAL_SECTION requeueLock_;  // orders a re-queue against the stop request and reset
  TakeWriter writer_;
  bool recording_ = false;
  volatile LONG takeEnd_ = kRunning;
  char takePath_[MAX_PATH] = {};
  char takeText_[2 * MAX_PATH + 2 * TakeWriter::kReasonSize];
  int32_t nextBuffer_ = 0;  // the buffer that comes back next
  RecordedBlockCallback dataCallback_ = nullptr;
  void* callbackContext_ = nullptr;
  TakeEndedCallback endedCallback_ = nullptr;
  void* endedContext_ = nullptr;
};
