#include "recording/PreRecorder.h"

#include <cstdio>
#include <new>

#include "core/ErrorCodes.h"
#include "util/ModulePath.h"

namespace {
constexpr int kNameCount = 32768;
// Random tries before the names are searched in order from the last try.
constexpr int kRandomTries = 64;

// Whether anything exists at path; one look-up, not a directory search (a folder of
// thousands of takes is searched name after name).
bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
}  // namespace

PreRecorder::PreRecorder() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  seed_ = (uint32_t)now.QuadPart ^ (uint32_t)GetCurrentProcessId() ^ (uint32_t)(uintptr_t)this;
}

PreRecorder::~PreRecorder() = default;

int PreRecorder::SetUp(RecordedBlockCallback callback, void* context) {
  if (!recorder_) {
    recorder_.reset(new (std::nothrow) WaveInput());
    if (!recorder_) return Error::OutOfMemory;
    recorder_->SetDeviceCount((int32_t)waveInGetNumDevs());
    recorder_->EnumerateDevices();
    if (recorder_->DeviceCount() > 0) recorder_->SelectDevice(0);
  }
  recorder_->SetFormat(kRecordingRate, 1, kRecordingBits);
  recorder_->SetDataCallback(callback, context);
  // Beside the host's program (the process's main module).
  if (userfiles_[0] == '\0') PathBesideModule(nullptr, "Userfiles", userfiles_, sizeof userfiles_);
  return 0;
}

void PreRecorder::SetUserfilesDirectory(const char* directory) {
  lstrcpynA(userfiles_, directory ? directory : "", sizeof userfiles_);
}

// The C library's generator, with a seed of this object's own: two windows (or two
// plug-in instances) do not walk the same names.
int PreRecorder::NextRandom() {
  seed_ = seed_ * 214013u + 2531011u;
  return (int)((seed_ >> 16) & 0x7FFF);
}

bool PreRecorder::NewOutputName() {
  char path[sizeof outputPath_];
  int number = NextRandom();
  // An earlier take under a name must never be replaced by a later one.
  for (int attempt = 0; attempt < kRandomTries + kNameCount; ++attempt) {
    if (attempt > 0) number = attempt < kRandomTries ? NextRandom() : (number + 1) % kNameCount;
    int written = snprintf(path, sizeof path, "%s\\Oae%i.wav", userfiles_, number);
    if (written < 0 || written >= (int)sizeof path) return false;
    if (Exists(path)) continue;
    lstrcpynA(outputPath_, path, sizeof outputPath_);
    generated_ = true;
    return true;
  }
  return false;
}

bool PreRecorder::ChooseOutputPath(const char* path) {
  if (!path || !path[0] || lstrlenA(path) >= (int)sizeof outputPath_) return false;
  lstrcpynA(outputPath_, path, sizeof outputPath_);
  generated_ = false;
  return true;
}

const char* PreRecorder::OutputName() const {
  const char* name = outputPath_;
  for (const char* p = outputPath_; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  return name;
}

int PreRecorder::Start(uint32_t blockBytes, uint32_t fileBufferBytes, bool* nameChanged) {
  if (nameChanged) *nameChanged = false;
  if (!recorder_) return Error::OutOfMemory;
  if (generated_ && Exists(outputPath_)) {
    // Someone wrote a file under the generated name since it was made.
    if (!NewOutputName()) {
      recorder_->ReportError(Error::FileOpen);
      return Error::FileOpen;
    }
    if (nameChanged) *nameChanged = true;
  }
  // A device whose close failed after the last take would refuse the buffers.
  if (!recorder_->Recording() && recorder_->DeviceOpen()) {
    if (int code = recorder_->CloseDevice()) return code;
  }
  // The host's block is 16-bit mono; a stereo take's buffers hold as long a stretch (the
  // same block in bytes would not be a whole number of stereo frames).
  if (int code = recorder_->AllocateBuffers(kRecordingBufferCount, blockBytes * (uint32_t)Channels())) return code;
  if (int code = recorder_->Start(outputPath_, fileBufferBytes)) {
    recorder_->FreeBuffers();
    return code;
  }
  recorder_->QueueBuffers();
  return 0;
}

int PreRecorder::Stop() {
  if (!recorder_) return 0;
  int code = recorder_->Stop();
  // A device that refused to stop cleanly may still have ended the take (its file finished).
  if (recorder_->Recording()) return code;
  recorder_->FreeBuffers();
  return 0;
}

bool PreRecorder::Recording() const { return recorder_ && recorder_->Recording(); }

int PreRecorder::Channels() const { return recorder_ && recorder_->Format().nChannels == 2 ? 2 : 1; }

bool PreRecorder::ApplyConfiguration(int32_t device, bool stereo) {
  if (!recorder_ || Recording()) return false;
  if (device != -1) recorder_->SelectDevice(device);
  recorder_->SetFormat(kRecordingRate, stereo ? 2 : 1, kRecordingBits);
  return true;
}
