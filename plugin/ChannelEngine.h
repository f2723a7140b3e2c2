// The four channels the host pulls audio from, with their locks, the host's
// set-up copy and callbacks. Owned by the main window object; usable without a window.
#pragma once
#include <cstdint>

#include "plugin/HostTypes.h"
#include "plugin/Object.h"

class MutexObject;
class WaveFile;
class WaveformatConverter;

enum ChannelState : int32_t { kStopped = 0, kPlaying = 1, kPaused = 2, kWaitingForSync = 3 };

constexpr uint32_t kLockWaitMs = 50;
constexpr int32_t kPositionViewWidth = 315;

struct Channel {
  MutexObject* lock;
  bool loaded;
  bool owner;
  int32_t partner;  // index of the right-half channel, -1 when none
  WaveFile* file;
  WaveformatConverter* converter;
  uint32_t readSize;
  uint8_t* readBuffer;
  uint8_t* output;
  uint32_t outputCount;
  volatile int32_t state;
  int32_t previousState;
  volatile bool loop;
  volatile bool sync;
  int32_t dataValid;
};

// Play-position arithmetic of one strip's position view, kept whether or not a window exists.
struct PlayPosition {
  int32_t markerX;
  int32_t previousMarkerX;
  uint32_t length;     // ms, at least 1 once a file is loaded
  uint32_t increment;  // ms per block
  uint32_t elapsed;    // ms
  uint8_t needsRepaint;
  int32_t width;       // pixels
};

// What the engine asks of the window that shows the channels; absent while there is none.
class ChannelView {
 public:
  virtual void ShowChannelState(int c) = 0;
  virtual void RefreshStrip(int c) = 0;
  virtual void InvalidatePosition(int c) = 0;
  virtual void ForgetPressedControl() {}
 protected:
  ~ChannelView() = default;
};

class ChannelEngine {
 public:
  // reporter shows the engine's own errors (32, 34, 35): the main window object.
  explicit ChannelEngine(Object* reporter);
  ~ChannelEngine();
  ChannelEngine(const ChannelEngine&) = delete;
  ChannelEngine& operator=(const ChannelEngine&) = delete;

  // True when all four named locks exist.
  bool Valid() const;

  Channel& ChannelAt(int c) { return channels_[c]; }
  PlayPosition& Position(int c) { return positions_[c]; }
  void SetView(ChannelView* view) { view_ = view; }
  ChannelView* View() const { return view_; }

  void SetPluginHandle(uint32_t handle) { pluginHandle_ = handle; }
  uint32_t PluginHandle() const { return pluginHandle_; }
  void SetEventCallback(EventCallback callback) { eventCallback_ = callback; }
  void SetInternalCallback(InternalCallback callback) { internalCallback_ = callback; }
  const SetupRecord& Setup() const { return setup_; }

  // Sends an event; a missing callback counts as acceptance. channel and partner count from 1.
  int32_t SendEvent(int32_t code, int32_t channel, int32_t partner);
  // Sends an internal command with the plug-in handle in word 0; nothing without a callback.
  void SendInternal(int32_t command);

  // setupAudioSystem: copy the record, close loaded channels, set the marker step.
  int ApplySetup(const SetupRecord& record);
  // readStreamChannel; false for a channel number outside 0..3.
  bool ReadStreamChannel(int c, uint8_t** output, int32_t* count);
  // onStreamingError: every loaded channel stopped and rewound.
  void StopAllChannels();
  // Empties a loaded channel (owner: closes its file and sends event 7).
  void CloseChannel(int c);

 private:
  Object* reporter_;
  ChannelView* view_ = nullptr;
  Channel channels_[kNumChannels];
  PlayPosition positions_[kNumChannels];
  SetupRecord setup_;
  uint32_t pluginHandle_ = 0;
  EventCallback eventCallback_ = nullptr;
  InternalCallback internalCallback_ = nullptr;
};
