#include "recording/WaveDevice.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/ErrorCodes.h"
#include "wavedata/WaveFile.h"

WaveDevice::WaveDevice() {
  classId_ = kWaveDevice;
  MakePcmFormat(&format_, 44100, 2, 16);
  deviceErrorText_[0] = '\0';
}

WaveDevice::~WaveDevice() { FreeBuffers(); }

// Called by the creator once the device count is known, and again to refresh the list.
void WaveDevice::EnumerateDevices() {
  if (deviceCount_ <= 0) return;
  devices_.reset(new (std::nothrow) List(deviceCount_, sizeof(WaveDeviceCaps), 0, false, nullptr));
  if (!devices_) {
    ReportError(Error::OutOfMemory);
    return;
  }
  for (int32_t device = 0; device < deviceCount_; ++device) {
    WaveDeviceCaps caps;
    memset(&caps, 0, sizeof caps);
    GetDeviceCaps(device, &caps);
    devices_->Append(&caps);
  }
}

int WaveDevice::SelectDevice(int32_t index) {
  if (deviceOpen_) return Fail(Error::DeviceBusy);
  int32_t count = devices_ ? devices_->Count() : 0;
  deviceNumber_ = (index >= 0 && index < count) ? index : kWaveMapper;
  lastError_ = 0;
  return 0;
}

void WaveDevice::SetFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
  MakePcmFormat(&format_, rate, channels, bits);
}

// Called before each take: the device fills whole buffers of whole frames only, so a
// size it cannot fill is refused here rather than queued.
int WaveDevice::AllocateBuffers(int32_t count, uint32_t size) {
  if (deviceOpen_) return Fail(Error::DeviceBusy);
  FreeBuffers();
  if (count < 1 || size == 0 || format_.nBlockAlign == 0 || size % format_.nBlockAlign != 0)
    return Fail(Error::BufferSize);
  buffers_.reset(new (std::nothrow) WAVEHDR[count]);
  blocks_.reset(new (std::nothrow) std::unique_ptr<char[]>[count]);
  if (!buffers_ || !blocks_) {
    FreeBuffers();
    return Fail(Error::OutOfMemory);
  }
  memset(buffers_.get(), 0, sizeof(WAVEHDR) * count);
  bufferCount_ = count;
  bufferSize_ = size;
  for (int32_t i = 0; i < count; ++i) {
    blocks_[i].reset(new (std::nothrow) char[size]);
    char* data = blocks_[i].get();
    if (!data) {
      FreeBuffers();
      return Fail(Error::OutOfMemory);
    }
    memset(data, 0, size);
    buffers_[i].lpData = data;
    buffers_[i].dwBufferLength = size;
    buffers_[i].dwUser = 0;
  }
  buffersAllocated_ = true;
  lastError_ = 0;
  return 0;
}

// A device that is still open may write into its buffers: they stay until it is closed.
void WaveDevice::FreeBuffers() {
  if (deviceOpen_) return;
  blocks_.reset();
  buffers_.reset();
  buffersAllocated_ = false;
}

WAVEHDR* WaveDevice::Buffer(int32_t index) const {
  if (!buffers_ || index < 0 || index >= bufferCount_) return nullptr;
  return &buffers_[index];
}

void WaveDevice::DescribeDevice(char* text, size_t size) const {
  if (!text || size == 0) return;
  const WaveDeviceCaps* caps = nullptr;
  if (devices_ && deviceNumber_ >= 0 && deviceNumber_ < devices_->Count())
    caps = static_cast<const WaveDeviceCaps*>(devices_->GetAt(deviceNumber_));
  if (caps && caps->name[0])
    snprintf(text, size, "The recording device \"%s\"", caps->name);
  else
    snprintf(text, size, "The default recording device");
}

// The system's text alone ("Undefined external error.") says neither what failed nor where.
int WaveDevice::ReportDeviceError(MMRESULT result, const char* what) {
  char platform[kErrorTextSize];
  platform[0] = '\0';
  GetDeviceErrorText(result, platform, sizeof platform);
  if (!platform[0]) snprintf(platform, sizeof platform, "error %u.", static_cast<unsigned>(result));
  char device[sizeof(WaveDeviceCaps::name) + 32];
  DescribeDevice(device, sizeof device);
  snprintf(deviceErrorText_, sizeof deviceErrorText_, "%s could not be %s: %s", device, what, platform);
  errorText_ = deviceErrorText_;
  return Fail(Error::WaveDevice);
}
