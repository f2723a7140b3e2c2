#include "engine/ChannelEngine.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "engine/Channel.h"
#include "engine/ChannelLock.h"
#include "core/ErrorCodes.h"
#include "core/SyncObject.h"
#include "util/PathText.h"
#include "wavedata/WaveFile.h"
#include "wavedata/WaveformatConverter.h"

namespace {
constexpr uint32_t kHostRate = 44100;
// Restarts of a looping resampled file within one block: plenty for any file of a frame or more.
constexpr int kMaxWrapsPerBlock = 4096;

// A state change made without the channel's lock: only from the expected state.
void ChangeState(volatile int32_t* state, int32_t from, int32_t to) {
  InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(state), to, from);
}
}  // namespace

void WaveFileRelease::operator()(WaveFile* file) const {
  if (!file) return;
  file->Close();
  delete file;
}

ChannelEngine::ChannelEngine(Object* reporter)
    : reporter_(reporter), reads_{0, 0, 0, 0}, retired_(reads_, kNumChannels) {
  InitializeSRWLock(&viewGate_);
  memset(&setup_, 0, sizeof setup_);
  MakePcmFormat(&hostFormat_, kHostRate, 1, 16);
  channels_.reset(new (std::nothrow) Channel[kNumChannels]);
  if (!channels_) return;
  for (int c = 0; c < kNumChannels; ++c) {
    memset(&positions_[c], 0, sizeof positions_[c]);
    char name[32];
    snprintf(name, sizeof name, "ChannelLock%i", c);
    channels_[c].lock.reset(new (std::nothrow) MutexObject(name));
  }
}

// The channel records own their files, converters, buffers and locks.
ChannelEngine::~ChannelEngine() {
  // Detach: the host reads no more and is not called back from here.
  SetView(nullptr);
}

// The engine is usable only with all four locks: a missing one would leave a channel unguarded.
int ChannelEngine::ConstructionError() const {
  if (!channels_) return Error::OutOfMemory;
  for (int c = 0; c < kNumChannels; ++c)
    if (!channels_[c].lock || !channels_[c].lock->Valid()) return Error::ChannelLockMissing;
  return 0;
}

namespace {
void CopyVisible(const Channel& channel, ChannelSnapshot* out) {
  out->loaded = channel.loaded;
  out->owner = channel.owner;
  out->partner = channel.partner;
  out->state = channel.state;
  out->loop = channel.loop;
  out->sync = channel.sync;
}
}  // namespace

Channel& ChannelEngine::ChannelAt(int c) { return channels_[c]; }

// Channel c's lock is held. A right half's owner cannot close the file meanwhile:
// closing a pair takes both locks.
const WaveFile* ChannelEngine::LoadedFile(int c) const {
  const Channel& channel = channels_[c];
  if (!channel.loaded) return nullptr;
  if (channel.owner) return channel.file.get();
  return c > 0 && channels_[c - 1].loaded && channels_[c - 1].owner ? channels_[c - 1].file.get() : nullptr;
}

ChannelSnapshot ChannelEngine::Peek(int c) const {
  ChannelSnapshot snapshot;
  if (channels_ && ValidIndex(c)) CopyVisible(channels_[c], &snapshot);
  return snapshot;
}

bool ChannelEngine::Snapshot(int c, ChannelSnapshot* out, char* fileName, size_t size) const {
  if (!channels_ || !ValidIndex(c)) return false;
  HeldLock lock;
  if (!lock.Acquire(channels_[c].lock.get(), kLockWaitMs)) return false;
  const Channel& channel = channels_[c];
  CopyVisible(channel, out);
  if (fileName && size) {
    fileName[0] = '\0';
    if (const WaveFile* file = LoadedFile(c)) FileNameOfPath(file->Name(), fileName, size);
  }
  return true;
}

bool ChannelEngine::ReadFile(int c, void (*read)(const WaveFile& file, void* context), void* context) const {
  if (!channels_ || !ValidIndex(c) || !read) return false;
  HeldLock lock;
  if (!lock.Acquire(channels_[c].lock.get(), kLockWaitMs)) return false;
  const WaveFile* file = LoadedFile(c);
  if (!file) return false;
  read(*file, context);
  return true;
}

// The view gate keeps the streaming thread from calling a window that is freeing its
// controls: after SetView(nullptr) returns, no display call is running or will start.
void ChannelEngine::SetView(ChannelView* view) {
  AcquireSRWLockExclusive(&viewGate_);
  view_ = view;
  ReleaseSRWLockExclusive(&viewGate_);
  if (!view) return;
  for (int c = 0; c < kNumChannels; ++c) {
    RefreshStrip(c);
    ShowChannelState(c);
  }
}

// Display calls from any thread pass through here; while the view is being changed
// they are skipped rather than waited for.
ChannelView* ChannelEngine::EnterView() {
  if (!TryAcquireSRWLockShared(&viewGate_)) return nullptr;
  if (view_) return view_;
  ReleaseSRWLockShared(&viewGate_);
  return nullptr;
}

// Ends a display call that EnterView let through.
void ChannelEngine::LeaveView() { ReleaseSRWLockShared(&viewGate_); }

// Called whenever channel c's state value changed: a stopped channel's marker returns to 0.
void ChannelEngine::ShowChannelState(int c) {
  if (channels_[c].state == kStopped) {
    PlayPosition& position = positions_[c];
    position.elapsed = 0;
    position.elapsedRest = 0;
    position.restarted = 0;
    position.needsRepaint = 1;
  }
  if (ChannelView* view = EnterView()) {
    view->ShowChannelState(c);
    if (channels_[c].state == kStopped) view->InvalidatePosition(c);
    LeaveView();
  }
}

// Called after a load or a close of channel c.
void ChannelEngine::RefreshStrip(int c) {
  if (ChannelView* view = EnterView()) {
    view->RefreshStrip(c);
    LeaveView();
  }
}

// Called when channel c's play position moved.
void ChannelEngine::InvalidatePosition(int c) {
  if (ChannelView* view = EnterView()) {
    view->InvalidatePosition(c);
    LeaveView();
  }
}

// Called when the host refused a start: the play switch must not stay pressed.
void ChannelEngine::ForgetPressedControl() {
  if (ChannelView* view = EnterView()) {
    view->ForgetPressedControl();
    LeaveView();
  }
}

// Called for events 2 (start), 6 (channel opened) and 7 (channel closed).
int32_t ChannelEngine::SendEvent(int32_t code, int32_t channel, int32_t partner) {
  EventRecord record;
  memset(&record, 0, sizeof record);
  record.code = code;
  record.flag = 1;
  if (code != kEventStart) {
    record.handle = pluginHandle_;
    record.channel = channel;
    record.partner = partner;
  }
  EventCallback callback = eventCallback_;
  return callback ? callback(&record) : 1;
}

// The host owns the window's life: the user's close becomes a request to the host.
void ChannelEngine::SendInternal(int32_t command) {
  InternalCallback callback = internalCallback_;
  if (!callback) return;
  InternalRecord record;
  memset(&record, 0, sizeof record);
  record.handle = pluginHandle_;
  callback(&record, command);
}

// Commands on the right half of a stereo file act through its owner.
int ChannelEngine::OwnerOf(int c) const {
  const Channel& channel = channels_[c];
  if (channel.loaded && !channel.owner && c > 0) return c - 1;
  return c;
}

// The other half of the stereo file that channel c owns, or -1.
int ChannelEngine::PartnerOf(int c) const {
  const Channel& channel = channels_[c];
  return channel.loaded && channel.owner && ValidIndex(channel.partner) ? channel.partner : -1;
}

// The channels a command on channel c changes together.
uint32_t ChannelEngine::PairMask(int c) const {
  int p = PartnerOf(c);
  return (1u << c) | (p >= 0 ? 1u << p : 0);
}

// Takes the masked channels' locks in index order, each wait bounded at 50 ms.
bool ChannelEngine::LockChannels(HeldLocks& locks, uint32_t mask) {
  MutexObject* all[kNumChannels];
  for (int c = 0; c < kNumChannels; ++c) all[c] = channels_[c].lock.get();
  return locks.Acquire(all, mask, kLockWaitMs);
}

// setupAudioSystem, on whatever thread the host calls it.
int ChannelEngine::ApplySetup(const SetupRecord& record) {
  setup_ = record;
  InterlockedExchange(&blockSize_, record.words[kSetupBlockSize]);
  // Read buffers were sized from the old block size: every channel is emptied under
  // its lock, also one that a load is installing just now (the load compares the
  // size under the same lock). A lock held elsewhere, by the host's own event
  // handler or another process, is tried again for a while; this is not the audio path.
  DWORD start = GetTickCount();
  for (int c = 0; c < kNumChannels; ++c) {
    if (!channels_[c].lock || !channels_[c].lock->Valid()) continue;
    while (!EmptyChannelsFor(c, c) && GetTickCount() - start < kSetupWaitMs) {
    }
  }
  retired_.Collect();
  // 32-bit arithmetic as the host's own: the product wraps rather than overflowing.
  int32_t halfBlock = setup_.words[kSetupBlockSize] / 2;
  int32_t increment = (int32_t)((uint32_t)halfBlock * 1000u) / (int32_t)kHostRate;
  for (PlayPosition& position : positions_) position.increment = (uint32_t)increment;
  return 0;
}

// readStreamChannel, on the host's streaming thread: one block of channel c.
bool ChannelEngine::ReadStreamChannel(int c, uint8_t** output, int32_t* count) {
  if (!ValidIndex(c)) return false;
  // The host has finished with the block it was given by the previous call.
  InterlockedIncrement(&reads_[c]);
  HeldLock lock;
  if (!lock.Acquire(channels_[c].lock.get(), kLockWaitMs)) return false;
  Channel& channel = channels_[c];
  int32_t state = channel.state;
  if (!channel.loaded || state == kStopped || state == kWaitingForSync) return false;
  // Counts for another block size must not reach the host.
  if (channel.blockSize != BlockSize()) return false;
  if (state == kPaused) {
    *output = channel.output;
    *count = 0;
    return true;
  }

  bool wrapped = false;
  // The partner's record changes with this read: take its lock first, so that a busy
  // partner leaves both channels as they were for this period.
  HeldLock partnerLock;
  int p = channel.owner && ValidIndex(channel.partner) ? channel.partner : -1;
  if (channel.owner) {
    if (p >= 0 && !partnerLock.Acquire(channels_[p].lock.get(), kLockWaitMs)) return false;
    wrapped = ReadOwnerBlock(channel, c);
    if (p >= 0) CopyStateToPartner(channel, p);
  }

  if (channel.state != channel.previousState) {
    ShowChannelState(c);
    channel.previousState = channel.state;
  }
  // A right half's marker is moved by its owner's read.
  if (channel.owner && channel.dataValid == 1) MovePosition(c, p, wrapped);
  *output = channel.output;
  *count = (int32_t)channel.outputCount;
  return channel.dataValid == 1;
}

// Back to the start of the data, the converter's history with it.
void ChannelEngine::Rewind(Channel& channel) {
  if (channel.file) channel.file->SeekToData();
  if (channel.converter) channel.converter->Reset();
}

// Bytes from the file's position to the end of its data chunk, at most count: what
// follows the data (LIST, id3 and the like) is not audio. A data size beyond the
// file's end is harmless: the read then ends with the file. -1 when the position
// cannot be told.
static int64_t BytesLeftInData(WaveFile* file, uint32_t count) {
  int64_t position = file->Tell();
  if (position < 0) return -1;
  uint64_t dataEnd = (uint64_t)file->DataStart() + file->DataSize();
  if ((uint64_t)position >= dataEnd) return 0;
  return dataEnd - (uint64_t)position < count ? (int64_t)(dataEnd - (uint64_t)position) : count;
}

// Reads the owner's next block, restarting a looping file at its end; true when it wrapped.
bool ChannelEngine::ReadOwnerBlock(Channel& channel, int c) {
  if (channel.converter && channel.converter->Resampling()) return ReadResampledBlock(channel, c);
  WaveFile* file = channel.file.get();
  bool wrapped = false;
  uint32_t got = 0;
  int code = Error::FileNotOpen;
  if (file) {
    int64_t left = BytesLeftInData(file, channel.readSize);
    code = left < 0 ? Error::Seek : file->Read(channel.readBuffer.get(), (uint32_t)left, &got);
    if (got == 0 && code == 0 && channel.loop) {
      file->SeekToData();
      uint32_t count = channel.readSize < file->DataSize() ? channel.readSize : (uint32_t)file->DataSize();
      code = file->Read(channel.readBuffer.get(), count, &got);
      StartWaitingChannels(c);
      wrapped = true;
    }
  }
  if (got > 0 && code == 0) {
    channel.dataValid = 1;
  } else {
    Rewind(channel);
    channel.dataValid = 0;
    channel.state = kStopped;
  }
  if (!channel.converter)
    channel.outputCount = got;
  else
    channel.outputCount = channel.dataValid ? channel.converter->Convert(channel.readBuffer.get(), got) : 0;
  return wrapped;
}

// A resampled file: each block reads what the filter needs for a whole output block.
// A looping file goes on from the start of its data within the same block, with the
// filter's history running through, so the loop has no seam; at the end of a file
// that does not loop, its last samples come out and the next read stops it.
bool ChannelEngine::ReadResampledBlock(Channel& channel, int c) {
  WaveFile* file = channel.file.get();
  WaveformatConverter* converter = channel.converter.get();
  if (!file) {
    channel.dataValid = 0;
    channel.state = kStopped;
    channel.outputCount = 0;
    return false;
  }
  uint32_t wanted = converter->InputBytesWanted();
  uint32_t got = 0;
  bool wrapped = false;
  int64_t left = BytesLeftInData(file, wanted);
  int code = left < 0 ? Error::Seek : file->Read(channel.readBuffer.get(), (uint32_t)left, &got);
  // A file shorter than a block wraps as often as the block needs.
  for (int wraps = 0; code == 0 && got < wanted && channel.loop && wraps < kMaxWrapsPerBlock; ++wraps) {
    uint32_t more = 0;
    code = file->SeekToData();
    int64_t rest = code == 0 ? BytesLeftInData(file, wanted - got) : 0;
    if (rest < 0) code = Error::Seek;
    if (code == 0) code = file->Read(channel.readBuffer.get() + got, (uint32_t)rest, &more);
    if (!wrapped) StartWaitingChannels(c);
    wrapped = true;
    if (more == 0) break;
    got += more;
  }
  uint32_t produced = code == 0 ? converter->Convert(channel.readBuffer.get(), got, got < wanted) : 0;
  if (produced > 0) {
    channel.dataValid = 1;
  } else {
    Rewind(channel);
    channel.dataValid = 0;
    channel.state = kStopped;
  }
  channel.outputCount = produced;
  return wrapped;
}

// The right half follows its owner's read, under the partner's lock held by the caller.
void ChannelEngine::CopyStateToPartner(const Channel& owner, int p) {
  Channel& partner = channels_[p];
  partner.previousState = partner.state;
  partner.state = owner.state;
  partner.outputCount = owner.outputCount;
  partner.dataValid = owner.dataValid;
  if (partner.state != partner.previousState) ShowChannelState(p);
}

// Moves the play position of owner c (and of its right half p) by the block just
// delivered. At a wrap the count starts again with that block.
void ChannelEngine::MovePosition(int c, int p, bool wrapped) {
  PlayPosition& position = positions_[c];
  uint32_t samples = hostFormat_.nBlockAlign ? channels_[c].outputCount / hostFormat_.nBlockAlign : 0;
  if (wrapped) {
    position.elapsed = 0;
    position.elapsedRest = 0;
  }
  uint64_t rest = position.elapsedRest + (uint64_t)samples * 1000u;
  uint64_t elapsed = position.elapsed + rest / kHostRate;
  position.elapsedRest = (uint32_t)(rest % kHostRate);
  if (!wrapped && elapsed >= position.length) {
    elapsed = 0;
    position.elapsedRest = 0;
  }
  position.elapsed = (uint32_t)elapsed;
  position.restarted = wrapped ? 1 : 0;
  position.needsRepaint = 1;
  InvalidatePosition(c);
  if (p < 0) return;
  PlayPosition& right = positions_[p];
  right.elapsed = position.elapsed;
  right.elapsedRest = position.elapsedRest;
  right.restarted = position.restarted;
  right.needsRepaint = 1;
  InvalidatePosition(p);
}

// The streaming thread holds channel c's lock here; the other channels' locks are not
// taken, so each change is one atomic exchange from the waiting state.
void ChannelEngine::StartWaitingChannels(int c) {
  if (!ValidIndex(c) || !channels_[c].sync) return;
  for (int i = 0; i < kNumChannels; ++i) ChangeState(&channels_[i].state, kWaitingForSync, kPlaying);
}

// onStreamingError: each channel is reset under its own lock, one at a time.
void ChannelEngine::StopAllChannels() {
  for (int c = 0; c < kNumChannels; ++c) {
    if (!channels_[c].loaded) continue;
    HeldLock lock;
    if (!lock.Acquire(channels_[c].lock.get(), kLockWaitMs)) continue;
    Channel& channel = channels_[c];
    if (!channel.loaded) continue;
    if (channel.owner) Rewind(channel);
    channel.state = kStopped;
    channel.dataValid = 0;
    ShowChannelState(c);
  }
}
