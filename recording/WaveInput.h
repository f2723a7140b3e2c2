// Records from a wave input device into a new wave file on two threads of its own.
// The platform only signals an event when a buffer comes back; the recorder thread
// (raised priority, the real-time side) copies the block into a ring of several
// seconds and puts the buffer back at the device at once, never waiting for the disk.
// The writer thread drains the ring into the file and calls the data callback. So the
// writer (or the disk) may stall for seconds without a block being lost, while the
// device keeps only its few buffers of the host's block size.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <memory>

#include "core/SyncObject.h"
#include "recording/TakeWriter.h"
#include "recording/WaveDevice.h"

// Called on the writer thread (neither the caller's nor the platform's), once per
// block written to the file, in order.
typedef void (*RecordedBlockCallback)(void* context, const uint8_t* block, uint32_t bytes);
// Called once, on the recorder or the writer thread, when a take ends by itself
// (TakeEndReason() tells why); the owner then stops it on its own thread.
typedef void (*TakeEndedCallback)(void* context);
// Called on the writer thread before each block is written, with the bytes written so
// far: a test hook that stands for a disk that stalls.
typedef void (*BeforeWriteHook)(void* context, uint64_t bytesWritten);

class WaveInput : public WaveDevice {
 public:
  // Time Stop waits for the device to give its buffers back after the reset.
  static constexpr DWORD kReturnTimeoutMs = 2000;
  // Audio the ring between the device and the file holds: the writer or the disk may
  // stall this long (less the device's own buffers) without losing a block.
  static constexpr uint32_t kRingMs = 4000;
  // A take whose device gives no buffer back for one buffer's duration and this much
  // more ends by itself: the device has gone or stopped delivering.
  static constexpr DWORD kSilenceMarginMs = 1000;

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
    kDeviceSilent = 3, // no buffer came back for the silence limit: the file keeps what came before
    kOverrun = 4,      // the ring was full (the writer stalled for longer than it holds)
  };

  // Opens the device (closing one whose earlier close failed first), creates the
  // file with its header, queues every buffer and then starts the device and the
  // recorder thread. 0; 16 without buffers; 37 while recording; 101 device; 104 when
  // the file cannot be written (with the file and the system's reason as text; no
  // file is left); 19 without memory for the ring or the threads.
  int Start(const char* path, uint32_t fileBufferSize);
  // The buffers are queued by Start: 0 while recording, 16 otherwise.
  int QueueBuffers();
  // Stops the device, writes every buffer it had filled (a partly filled last one is
  // dropped, so the data stays whole buffers), takes the rest back, ends the threads
  // (the writer after the ring is drained), closes the device and finishes the file.
  // 0; 101 when the device cannot be stopped or closed (the file is finished
  // nevertheless; a device left open keeps its buffers and is closed again at the next
  // Start); 5 when finishing the file failed. After a take that ended because its
  // device went silent, the device's failures are expected and not reported.
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
  // Blocks in the ring not yet written, and the most there were during the take.
  uint32_t PendingBlocks() const { return static_cast<uint32_t>(ringIn_ - ringOut_); }
  uint32_t MostPendingBlocks() const { return ringPeak_; }
  // Times during the take that the recorder thread found every buffer back from the
  // device: the device had none left to fill and may have dropped sound meanwhile.
  uint32_t DeviceRanDry() const { return ranDry_; }
  // Set while not recording (tests and benchmarks only).
  void SetBeforeWriteHook(BeforeWriteHook hook, void* context);
  // Time without a returned buffer after which the take ends by itself (kDeviceSilent).
  DWORD SilenceLimitMs() const;
  // Set while the library is unloaded under the loader lock: the threads of a take
  // cannot end then (ending needs that lock), so a stop parks them once they are done
  // with this object and ends them there, instead of waiting for them to end.
  static void SetUnloading(bool unloading);

 protected:
  void GetDeviceErrorText(MMRESULT result, char* text, UINT size) override;

 private:
  static DWORD WINAPI RecorderMain(void* self);
  static DWORD WINAPI WriterMain(void* self);
  // A thread's last step: nothing, or the park while the library is unloaded.
  static DWORD Leave(HANDLE left);
  // The recorder thread: waits for returned buffers until told to quit, and ends the
  // take when none comes back for the silence limit.
  void RunRecorder();
  // Handles every buffer the device has given back, in queue order; false when none had.
  bool TakeReturnedBuffers();
  // One returned buffer: unprepare; copied into the ring when the take runs (then
  // queued again at once) or, after a stop request, when it is full.
  void OnBufferDone(WAVEHDR* header);
  // The writer thread: drains the ring into the file until told to quit, then once more.
  void RunWriter();
  void DrainRing();
  // Makes the ring for the current buffers (kept when it is the same size). 0 or 19.
  int PrepareRing();
  // The take ends by itself: nothing more is written, the owner is told once.
  void EndByItself(TakeEnd why);
  // Closes the device and finishes the file (it may be closed and deleted instead).
  int EndTake(bool finish);
  // Starts one of the take's threads (suspended until Start); false when it cannot.
  bool StartThread(std::unique_ptr<ThreadObject>* thread, LPTHREAD_START_ROUTINE main, int priority);
  // Tells a thread to quit and waits until it has ended (or parked, see SetUnloading).
  void EndThread(std::unique_ptr<ThreadObject>* thread, HANDLE quit, EventObject* left);
  void EndThreads();
  // Prepares and adds every buffer; on the interface thread before the device starts.
  int QueueAll();

  HWAVEIN device_ = nullptr;
  volatile LONG stopRequested_ = 0;
  EventObject buffersReturned_;  // manual reset: the last buffer came back after the stop request
  EventObject deviceSignal_;     // auto reset: the platform's notification (CALLBACK_EVENT)
  EventObject quit_;             // manual reset: the recorder thread ends
  EventObject ringFilled_;       // auto reset: a block went into the ring
  EventObject writerQuit_;       // manual reset: the writer drains the ring and ends
  EventObject recorderLeft_;     // set by a parked thread once it is done with this object
  EventObject writerLeft_;
  std::unique_ptr<ThreadObject> thread_;
  std::unique_ptr<ThreadObject> writerThread_;
  // The ring: slots of one buffer each, filled by the recorder thread, drained by the
  // writer. ringIn_ and ringOut_ count blocks put in and taken out since the start.
  std::unique_ptr<char[]> ring_;
  std::unique_ptr<uint32_t[]> ringBytes_;
  uint32_t ringSlots_ = 0;
  uint32_t ringSlotSize_ = 0;
  volatile LONG ringIn_ = 0;
  volatile LONG ringOut_ = 0;
  uint32_t ringPeak_ = 0;
  uint32_t ranDry_ = 0;
  volatile DWORD lastReturn_ = 0;  // tick of the last buffer the device gave back
  BeforeWriteHook beforeWrite_ = nullptr;
  void* beforeWriteContext_ = nullptr;
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
