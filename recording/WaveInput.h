// Records from a wave input device straight into a new wave file. The platform only
// signals an event when a buffer comes back; the recorder thread owned by this object
// writes the block, puts the buffer back at the device and calls the data callback.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "core/SyncObject.h"
#include "recording/WaveDevice.h"

class WaveFile;

// Called on the recorder thread (neither the caller's nor the platform's), once per
// block written to the file, in order.
typedef void (*RecordedBlockCallback)(void* context, const uint8_t* block, uint32_t bytes);

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

  // Opens the device, creates the file with its header and starts the device and the
  // recorder thread. 0; 16 without buffers or while recording; 101 device; file codes.
  int Start(const char* path, uint32_t fileBufferSize);
  // Prepares and queues every buffer in order. 0, or 101 for the first refusal.
  int QueueBuffers();
  // Takes every buffer back from the device, drops what they hold, ends the thread,
  // closes the device and finishes the file (data size = blocks written before the
  // stop request). 0; 101 when the device cannot be stopped or closed (the file is
  // finished nevertheless); a file code when finishing the file fails.
  int Stop();
  // True when no buffer is queued at the device (or there are none).
  bool AllBuffersReturned() const;
  // Between a successful Start and the next Stop.
  bool Recording() const { return file_ != nullptr; }
  // Sample bytes written to the file since the start.
  uint32_t BytesRecorded() const { return bytesRecorded_; }
  // Set while not recording.
  void SetDataCallback(RecordedBlockCallback callback, void* context);
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
  // One returned buffer: unprepare; dropped after a stop request, else written,
  // queued again and handed to the data callback.
  void OnBufferDone(WAVEHDR* header);
  // Closes the device, ends the file (finishing it when finish is set) and forgets it.
  int EndTake(bool finish);
  void EndThread();

  HWAVEIN device_ = nullptr;
  volatile LONG stopRequested_ = 0;
  EventObject buffersReturned_;  // manual reset: the last buffer came back after the stop request
  EventObject deviceSignal_;     // auto reset: the platform's notification (CALLBACK_EVENT)
  EventObject quit_;             // manual reset: the recorder thread ends
  ThreadObject* thread_ = nullptr;
  CRITICAL_SECTION requeueLock_;  // orders a re-queue against the stop request and reset
  WaveFile* file_ = nullptr;
  volatile LONG bytesRecorded_ = 0;
  int32_t nextBuffer_ = 0;  // the buffer that comes back next
  RecordedBlockCallback dataCallback_ = nullptr;
  void* callbackContext_ = nullptr;
};
