// What a wave device of either direction keeps: the device list, the chosen device,
// the sample format and the set of recording buffers with their headers.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <memory>

#include "core/List.h"
#include "core/Object.h"

// One device's capabilities as the device list stores them (148 bytes, no padding).
struct WaveDeviceCaps {
  uint16_t manufacturerId;
  uint16_t productId;
  uint16_t driverVersion;  // low half of the platform's version value
  char name[130];          // the platform's device name (at most 31 characters)
  uint32_t formats;        // standard formats the device supports
  uint16_t channels;
  uint32_t support;        // always 0 for input devices
};
static_assert(sizeof(WaveDeviceCaps) == 148, "a device record is 148 bytes");

class WaveDevice : public Object {
 public:
  static constexpr int32_t kWaveMapper = -1;
  static constexpr int32_t kDefaultBufferCount = 5;
  static constexpr uint32_t kDefaultBufferSize = 8192;
  static constexpr int kErrorTextSize = 256;

  WaveDevice();
  // Frees the buffers and the device list.
  ~WaveDevice() override;
  WaveDevice(const WaveDevice&) = delete;
  WaveDevice& operator=(const WaveDevice&) = delete;

  int32_t DeviceCount() const { return deviceCount_; }
  // Set by the creator from the platform's device count before EnumerateDevices.
  void SetDeviceCount(int32_t count) { deviceCount_ = count; }
  // The capability records in device order; null until EnumerateDevices found devices.
  List* Devices() const { return devices_.get(); }
  // Builds the device list (room for exactly DeviceCount records, not growable) when the
  // count is above 0; an earlier list is replaced.
  void EnumerateDevices();
  // 37 while the device is open; an index of the list becomes the device number, any
  // other value the wave mapper (-1). 0.
  int SelectDevice(int32_t index);
  int32_t DeviceNumber() const { return deviceNumber_; }

  // PCM format for the next open: block align and byte rate derived.
  void SetFormat(uint32_t rate, uint16_t channels, uint16_t bits);
  const WAVEFORMATEX& Format() const { return format_; }
  bool DeviceOpen() const { return deviceOpen_; }

  // Replaces the buffers by count zeroed buffers of size bytes. 0; 19 when memory runs
  // out; 20 (BufferSize) for a count below 1, a size of 0 or a size that is not a whole
  // number of sample frames of the current format. Refused while the device is open (37).
  int AllocateBuffers(int32_t count, uint32_t size);
  // Deletes every buffer and its header; nothing when none are allocated.
  void FreeBuffers();
  bool BuffersAllocated() const { return buffersAllocated_; }
  int32_t BufferCount() const { return bufferCount_; }
  uint32_t BufferSize() const { return bufferSize_; }
  // The header of buffer index (null outside the table).
  WAVEHDR* Buffer(int32_t index) const;

  // Reports 101 for a failed device call with the error text "The recording device
  // NAME could not be WHAT: " followed by the platform's text for result.
  int ReportDeviceError(MMRESULT result, const char* what);
  // The chosen device's name in quotes, or "default" words for the wave mapper.
  void DescribeDevice(char* text, size_t size) const;

  // The capabilities of one device, filled from the platform's record.
  virtual void GetDeviceCaps(int32_t device, WaveDeviceCaps* caps) = 0;
  // Opens the device for the format; device open on success; 101 with the platform's text.
  virtual int OpenDevice(int32_t device, DWORD_PTR callback, DWORD flags) = 0;
  // Closes the device; it stays open when the platform refuses (101).
  virtual int CloseDevice() = 0;

 protected:
  // The platform's text for a device call's result, into text (256 bytes).
  virtual void GetDeviceErrorText(MMRESULT result, char* text, UINT size) = 0;

  int32_t deviceCount_ = 0;
  std::unique_ptr<List> devices_;
  WAVEFORMATEX format_;
  bool deviceOpen_ = false;
  int32_t bufferCount_ = kDefaultBufferCount;
  uint32_t bufferSize_ = kDefaultBufferSize;
  std::unique_ptr<WAVEHDR[]> buffers_;             // bufferCount_ headers
  std::unique_ptr<std::unique_ptr<char[]>[]> blocks_;  // their data blocks
  bool buffersAllocated_ = false;
  int32_t deviceNumber_ = kWaveMapper;
  char deviceErrorText_[2 * kErrorTextSize + 64];  // our words, the device name and the platform text
};
