// The four channels the host pulls audio from, with their locks, the host's
// set-up copy and callbacks. Owned by the main window object; usable without a window.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <memory>

#include "core/HostTypes.h"
#include "core/Object.h"
#include "engine/RetiredBuffers.h"

class HeldLocks;
class MutexObject;
struct PendingLoad;
class WaveFile;
class WaveformatConverter;

enum ChannelState : int32_t { kStopped = 0, kPlaying = 1, kPaused = 2, kWaitingForSync = 3 };

constexpr uint32_t kLockWaitMs = 50;
// How long the host's set-up keeps trying to empty a channel whose lock is held elsewhere.
constexpr uint32_t kSetupWaitMs = 2000;

// What the interface may know of a channel: a copy, never the engine's own record.
struct ChannelSnapshot {
  bool loaded = false;
  bool owner = false;
  int32_t partner = -1;  // the right half's index for a stereo owner, else -1
  int32_t state = kStopped;
  bool loop = false;
  bool sync = false;
};

// The engine's writable record of one channel; defined in engine/Channel.h, which
// only the engine (and its own tests) include.
struct Channel;

// The play position of one channel, kept whether or not a window exists: the
// interface turns it into its marker. Elapsed counts what was delivered, exactly:
// the part of a millisecond that a block leaves over is kept in elapsedRest, so the
// marker never falls behind the sound.
struct PlayPosition {
  uint32_t length;     // ms at the host's rate, at least 1 once a file is loaded
  uint32_t increment;  // ms per block, nominal (whole ms)
  uint32_t elapsed;    // ms since the start of the data, or of the current loop
  uint8_t needsRepaint;
  uint8_t restarted;   // the last block began the data again: the marker shows the start
  uint32_t elapsedRest;  // ms x 44100 not yet counted in elapsed (below 44100)
};

// What the engine asks of the window that shows the channels; absent while there is none.
// ShowChannelState, RefreshStrip and InvalidatePosition are also called on the host's
// threads (the stream reading, the host's set-up): they only set flags and invalidate.
// Once SetView(nullptr) has returned, no call into the former view is in progress or
// will follow, so a window detaches itself before it frees its controls.
class ChannelView {
 public:
  virtual void ShowChannelState(int c) = 0;
  virtual void RefreshStrip(int c) = 0;
  // Channel c's play position moved (elapsed, restarted) or returned to the start.
  virtual void InvalidatePosition(int c) = 0;
  virtual void ForgetPressedControl() {}
  // Loading, on the interface thread, after the host accepted the channel and before the
  // channel is installed: draws the waveform picture of the still private file into
  // strip c (and c + 1 for a stereo file). The file may be left anywhere; the engine
  // rewinds it afterwards and sets the views' lengths itself.
  virtual void BuildPicture(int c, WaveFile* file, bool stereo) {}
 protected:
  ~ChannelView() = default;
};

class ChannelEngine {
 public:
  // reporter shows the engine's own errors (19, 32 to 36): the main window object.
  explicit ChannelEngine(Object* reporter);
  ~ChannelEngine();
  ChannelEngine(const ChannelEngine&) = delete;
  ChannelEngine& operator=(const ChannelEngine&) = delete;

  // True when all four named locks exist.
  bool Valid() const { return ConstructionError() == 0; }
  // What the construction lacks: 0, 19 (no channel records) or 36 (a lock could not be created).
  int ConstructionError() const;

  // The engine's own record: for the engine's tests only (engine/Channel.h).
  Channel& ChannelAt(int c);
  // Channel c's flags and state as they are now, read without its lock: each is a
  // single value that the streaming thread writes whole. An empty snapshot for a bad c.
  ChannelSnapshot Peek(int c) const;
  // The same read under the channel's lock, with the loaded file's name (without
  // directory) in fileName. False when the lock could not be had within 50 ms.
  bool Snapshot(int c, ChannelSnapshot* out, char* fileName, size_t size) const;
  // Calls read with the loaded file of channel c (an owner's own, a right half's
  // through its owner) while the channel's lock is held, so the file cannot be closed
  // meanwhile. False when nothing is loaded or the lock could not be had.
  bool ReadFile(int c, void (*read)(const WaveFile& file, void* context), void* context) const;
  PlayPosition& Position(int c) { return positions_[c]; }
  // Attaches the window (which then shows every strip's current state) or, with null,
  // detaches it, waiting for display calls of other threads that are under way.
  void SetView(ChannelView* view);
  ChannelView* View() const { return view_; }

  void SetPluginHandle(uint32_t handle) { pluginHandle_ = handle; }
  uint32_t PluginHandle() const { return pluginHandle_; }
  void SetEventCallback(EventCallback callback) { eventCallback_ = callback; }
  void SetInternalCallback(InternalCallback callback) { internalCallback_ = callback; }
  const SetupRecord& Setup() const { return setup_; }
  // The format every channel delivers: PCM 44100 Hz, one channel, 16 bits.
  const WAVEFORMATEX& HostFormat() const { return hostFormat_; }

  // Sends an event; a missing callback counts as acceptance. channel and partner count from 1.
  int32_t SendEvent(int32_t code, int32_t channel, int32_t partner);
  // Sends an internal command with the plug-in handle in word 0; nothing without a callback.
  void SendInternal(int32_t command);

  // setupAudioSystem: copy the record, close loaded channels, set the marker step.
  // A channel whose lock is held elsewhere is tried again for up to kSetupWaitMs;
  // one that still cannot be closed delivers nothing until a command closes it.
  int ApplySetup(const SetupRecord& record);
  // readStreamChannel; false for a channel number outside 0..3, for a channel whose
  // buffers were made for another block size, and for a period in which the
  // channel's lock (or its partner's) could not be had within 50 ms.
  bool ReadStreamChannel(int c, uint8_t** output, int32_t* count);
  // A looping channel's seam is the beat synchronised channels start on: with c's
  // sync flag set, waiting channels play. The seam lies offset samples into c's
  // current block: a waiting channel read after c in this period begins with that
  // much silence, one read before it starts with its next block.
  void StartWaitingChannels(int c, uint32_t offset = 0);
  // onStreamingError: every loaded channel stopped and rewound, each under its own lock.
  void StopAllChannels();

  // Opens a wave file into channel c (and c + 1 for a stereo file). 0, or the code
  // that has already been reported: the file's (1, 4, 6, 8, 9), the converter's (17,
  // 19), 19, 32 (no room for a stereo file), 33 (the channels' locks are busy), 35,
  // 36 (a channel lock does not exist).
  // *partner is -1, or c + 1 when a stereo file was loaded.
  int LoadChannel(int c, const char* path, int32_t* partner);

  // Channel commands of the interface thread. A command on the right half of a stereo
  // file acts on the pair through its owner. Each returns false when it was ignored
  // because a channel lock could not be had within 50 ms (the channels are unchanged),
  // true otherwise (also when there was nothing to do).
  bool PlayStop(int c);
  bool Pause(int c);
  bool SetSync(int c, bool on);
  bool SetLoop(int c, bool on);
  bool CloseFile(int c);

  // Closed channels' output memory that the host may still be reading.
  int RetiredPending() { return retired_.Pending(); }

 private:
  static bool ValidIndex(int c) { return c >= 0 && c < kNumChannels; }
  // The file channel c plays (a right half's through its owner); null when empty.
  const WaveFile* LoadedFile(int c) const;
  // The owner of a stereo pair's right half, else c itself.
  int OwnerOf(int c) const;
  // For a loaded stereo owner, its partner; else -1.
  int PartnerOf(int c) const;
  // Bits of c and, for a stereo owner, its partner.
  uint32_t PairMask(int c) const;
  // Loaded, owner (mono or a stereo file's left half) and synchronised.
  bool Synchronised(int c) const;
  // The block size of the host's latest set-up.
  uint32_t BlockSize() const { return (uint32_t)blockSize_; }
  // Loaded with buffers made for an older block size (its set-up could not close it).
  bool Outdated(int c) const;
  int SizeBuffers(PendingLoad& load, uint32_t blockSize, uint32_t* readSize);
  bool LockChannels(HeldLocks& locks, uint32_t mask);
  bool LockPair(HeldLocks& locks, int c);

  // Where in a delivered block the sound begins again, in output samples (-1: nowhere).
  struct BlockSeam {
    int32_t loop = -1;     // the first loop seam: synchronised channels start here
    int32_t restart = -1;  // the last loop seam, or where a delayed start's sound begins
    bool restarted = false;  // the block begins with a loop's restart
  };
  // Stream reading of an owner: one block read (whole frames), looped or ended, converted.
  BlockSeam ReadOwnerBlock(Channel& channel);
  BlockSeam ReadResampledBlock(Channel& channel);
  // An owner's file back at the start of its data, its converter's history cleared.
  static void Rewind(Channel& channel);
  void CopyStateToPartner(const Channel& owner, int p);
  // Moves the marker of owner c by the block just delivered, and its right half p's
  // (-1: none) to the same place: both show the owner's position.
  void MovePosition(int c, int p, const BlockSeam& seam);

  // Empties one channel whose lock this thread holds; the owner of a stereo file
  // closes it and sends event 7 (its partner is emptied first by the caller).
  void CloseChannel(int c);
  // Empties every stereo pair or mono channel that touches channels first..last, each
  // pair's partner before its owner. False when their locks could not be had.
  bool EmptyChannelsFor(int first, int last);

  // A synchronised start or wait of channel c (and partner p), with the locks held;
  // false when the host refused the start.
  bool StartSynchronised(int c, int p);

  // Display steps: skipped without a view, never waiting on another thread.
  void ShowChannelState(int c);
  void RefreshStrip(int c);
  void InvalidatePosition(int c);
  void ForgetPressedControl();
  ChannelView* EnterView();
  void LeaveView();

  Object* reporter_;
  ChannelView* view_ = nullptr;
  SRWLOCK viewGate_;
  // kNumChannels records, allocated at construction; null when that failed (not Valid).
  std::unique_ptr<Channel[]> channels_;
  PlayPosition positions_[kNumChannels];
  SetupRecord setup_;
  volatile LONG blockSize_ = 0;  // word 1 of setup_, read by the streaming thread
  WAVEFORMATEX hostFormat_;
  uint32_t pluginHandle_ = 0;
  EventCallback eventCallback_ = nullptr;
  InternalCallback internalCallback_ = nullptr;
  // Calls of readStreamChannel per channel: a new call means the host is done with the last block.
  volatile LONG reads_[kNumChannels];
  RetiredBuffers retired_;
};
