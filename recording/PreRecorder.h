// The pre-recorder's take sequence without its window: the one wave input device
// and its set-up, the "Userfiles" directory beside the host's program, output
// names that never replace an earlier take, the start and stop sequences, and
// the rule that picks the track a finished take goes to.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "recording/WaveInput.h"

constexpr int kRecordingBufferCount = 5;
constexpr uint32_t kRecordingRate = 44100;
constexpr uint16_t kRecordingBits = 16;

class PreRecorder {
 public:
  PreRecorder();
  // A take still running is stopped and its file finished (by the device).
  ~PreRecorder();
  PreRecorder(const PreRecorder&) = delete;
  PreRecorder& operator=(const PreRecorder&) = delete;

  // Makes the device: the system's input devices listed, device 0 chosen when
  // there is one (else the wave mapper), 44100 Hz mono 16-bit, callback set for
  // every recorded block (on the recorder's writer thread). The userfiles directory is
  // taken from the process's main module unless one was set before (no name is
  // made here: NewOutputName). 0 or 19.
  int SetUp(RecordedBlockCallback callback, void* context);
  WaveInput* Recorder() const { return recorder_.get(); }

  // The folder takes go to; it is never created here (a missing one fails the start).
  void SetUserfilesDirectory(const char* directory);
  const char* UserfilesDirectory() const { return userfiles_; }

  // "Oae<n>.wav" in the userfiles directory, n pseudo-random in 0..32767, naming
  // no existing file. False (path unchanged) when every such name is taken.
  bool NewOutputName();
  // A path the user chose: the next take replaces that file.
  // False (path unchanged) for an empty path or one longer than the system opens.
  bool ChooseOutputPath(const char* path);
  const char* OutputPath() const { return outputPath_; }
  // The output path without its directory, as the window shows it.
  const char* OutputName() const;
  // True while the output path is a generated name (not one the user chose).
  bool GeneratedName() const { return generated_; }

  // Buffers of blockBytes per channel (the host's block: as long a stretch as one
  // period), the take's file (with the host's file buffer size),
  // then the buffers queued. A generated name that has come to exist meanwhile
  // is replaced by a fresh one first (nameChanged tells). A device left open by a
  // failed close is closed first. 0, or the code already reported (buffers and
  // device are released again on failure).
  int Start(uint32_t blockBytes, uint32_t fileBufferBytes, bool* nameChanged = nullptr);
  // Stops the take and finishes its file, then frees the buffers. 0 once the
  // take has ended (a device error on the way has been reported), else the
  // device's reported code: the take then still runs.
  int Stop();
  bool Recording() const;
  // 1 or 2: the channels the next (or running) take records.
  int Channels() const;

  // The configuration dialog confirmed a change: device (-1: keep the current
  // one) and mono or stereo. Refused (false) while recording.
  bool ApplyConfiguration(int32_t device, bool stereo);

 private:
  // The next pseudo-random number, 0..32767.
  int NextRandom();

  std::unique_ptr<WaveInput> recorder_;
  char userfiles_[MAX_PATH] = {};
  char outputPath_[260] = {};
  bool generated_ = true;
  uint32_t seed_ = 0;
};
