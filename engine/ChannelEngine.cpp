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

// A state change made without the channel's lock: only from the expected state.
bool ChangeState(volatile int32_t* state, int32_t from, int32_t to) {
  return InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(state), to, from) == from;
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

  BlockSeam seam;
  // The partner's record changes with this read: take its lock first, so that a busy
  // partner leaves both channels as they were for this period.
  HeldLock partnerLock;
  int p = channel.owner && ValidIndex(channel.partner) ? channel.partner : -1;
  if (channel.owner) {
    if (p >= 0 && !partnerLock.Acquire(channels_[p].lock.get(), kLockWaitMs)) return false;
    seam = ReadOwnerBlock(channel);
    if (p >= 0) CopyStateToPartner(channel, p);
    if (seam.loop >= 0) StartWaitingChannels(c, (uint32_t)seam.loop);
  }

  if (channel.state != channel.previousState) {
    ShowChannelState(c);
    channel.previousState = channel.state;
  }
  // A right half's marker is moved by its owner's read.
  if (channel.owner && channel.dataValid == 1) MovePosition(c, p, seam);
  *output = channel.output;
  *count = (int32_t)channel.outputCount;
  return channel.dataValid == 1;
}

// Back to the start of the data, the converter's history with it.
void ChannelEngine::Rewind(Channel& channel) {
  if (channel.file) channel.file->SeekToData();
  if (channel.converter) channel.converter->Reset();
  channel.seams = SeamTrack();
  channel.tailPending = false;
  channel.startDelay = 0;
}

namespace {
// Bytes in one frame of the file (never 0).
uint32_t FrameBytes(const WaveFile* file) {
  uint32_t align = file->Header().blockAlign;
  return align ? align : 1;
}

// Reads whole frames from the file's position up to the end of its data chunk, at
// most count bytes: what follows the data (LIST, id3 and the like) and a trailing
// partial frame are not audio. A data size beyond the file's end is harmless: the
// read then ends with the file, and a frame the file cuts is given back, so that
// the grid holds if the file grows.
int ReadWholeFrames(WaveFile* file, uint8_t* buffer, uint32_t count, uint32_t* got) {
  *got = 0;
  const uint32_t align = FrameBytes(file);
  int64_t position = file->Tell();
  if (position < 0) return Error::Seek;
  uint64_t dataSize = file->DataSize();
  uint64_t dataEnd = (uint64_t)file->DataStart() + (dataSize - dataSize % align);
  uint64_t left = (uint64_t)position < dataEnd ? dataEnd - (uint64_t)position : 0;
  count -= count % align;
  if (left < count) count = (uint32_t)left;
  if (count == 0) return 0;
  int code = file->Read(buffer, count, got);
  if (code != 0) return code;
  uint32_t partial = *got % align;
  if (partial == 0) return 0;
  *got -= partial;
  return file->Seek(-(int64_t)partial, MultimediaFile::kFromCurrent);
}

// Moves count bytes of a block delivery behind delay bytes of silence.
void DelayOutput(uint8_t* buffer, uint32_t count, uint32_t delay) {
  if (!buffer || delay == 0) return;
  memmove(buffer + delay, buffer, count);
  memset(buffer, 0, delay);
}

// The seam bookkeeping of a resampled stream (SeamTrack). inRate and outRate are the
// file's and the host's rates.
uint64_t FirstOutputAt(uint64_t inputFrame, uint32_t inRate, uint32_t outRate) {
  return (inputFrame * outRate + inRate - 1) / inRate;
}

// count passes of step frames begin at input frame start, after those noted before.
// A file that changed its length while several starts were pending keeps its first
// and last start exact, those between approximate.
void NotePasses(SeamTrack& t, uint64_t start, uint64_t step, uint64_t count) {
  if (count == 0) return;
  if (!t.pending) {
    t.first = start;
    t.step = step;
    t.pending = true;
  } else {
    t.step = start - t.last;
  }
  t.last = start + (count - 1) * step;
}

// The seams among the outputs [t.made, t.made + n): the first and the last, as
// offsets in these outputs; false when none falls there.
bool TakeSeams(SeamTrack& t, uint32_t n, uint32_t inRate, uint32_t outRate, uint32_t* first, uint32_t* last) {
  if (!t.pending || n == 0) return false;
  uint64_t end = t.made + n;
  uint64_t firstOut = FirstOutputAt(t.first, inRate, outRate);
  if (firstOut >= end) return false;
  // The latest input frame whose output comes before end.
  uint64_t latest = (end - 1) * inRate / outRate;
  uint64_t lastStart = t.first;
  if (t.step > 0) {
    uint64_t k = (latest - t.first) / t.step, most = (t.last - t.first) / t.step;
    lastStart = t.first + (k < most ? k : most) * t.step;
  }
  *first = firstOut > t.made ? (uint32_t)(firstOut - t.made) : 0;
  uint64_t lastOut = FirstOutputAt(lastStart, inRate, outRate);
  *last = lastOut > t.made ? (uint32_t)(lastOut - t.made) : 0;
  if (lastStart >= t.last) {
    t.pending = false;
  } else {
    t.first = lastStart + t.step;
  }
  return true;
}

// Keeps the counts small: whole seconds of both streams are taken off alike, which
// leaves every output's place among the inputs as it was.
void Rebase(SeamTrack& t, uint32_t inRate, uint32_t outRate) {
  if (t.made < (1ull << 32)) return;
  uint64_t seconds = t.made / outRate - 1;
  t.made -= seconds * outRate;
  t.fed -= seconds * inRate;
  if (t.pending) {
    t.first -= seconds * inRate;
    t.last -= seconds * inRate;
  }
}
}  // namespace

// Reads the owner's next block, restarting a looping file at its end. At the 44.1 kHz
// rate a block ends with the data (a short block) and the restart begins the next one.
ChannelEngine::BlockSeam ChannelEngine::ReadOwnerBlock(Channel& channel) {
  if (channel.converter && channel.converter->Resampling()) return ReadResampledBlock(channel);
  BlockSeam seam;
  WaveFile* file = channel.file.get();
  uint32_t got = 0;
  int code = Error::FileNotOpen;
  uint32_t align = 1, delay = 0;
  if (file) {
    align = FrameBytes(file);
    // A delayed start reads that many frames less.
    delay = channel.startDelay;
    channel.startDelay = 0;
    uint32_t frames = channel.readSize / align;
    if (delay > frames) delay = frames;
    uint32_t count = (frames - delay) * align;
    // Unconverted, a frame is a host sample: it is read into place behind the silence.
    uint8_t* target = channel.readBuffer.get() + (channel.converter ? 0 : delay * align);
    code = ReadWholeFrames(file, target, count, &got);
    if (got == 0 && code == 0 && channel.loop) {
      code = file->SeekToData();
      if (code == 0) code = ReadWholeFrames(file, target, count, &got);
      seam.loop = seam.restart = (int32_t)delay;
      seam.restarted = delay == 0;
    }
  }
  if (got > 0 && code == 0) {
    channel.dataValid = 1;
  } else {
    Rewind(channel);
    channel.dataValid = 0;
    channel.state = kStopped;
    got = 0;
    delay = 0;
  }
  uint32_t delayBytes = delay * hostFormat_.nBlockAlign;
  if (delay > 0 && seam.restart < 0) seam.restart = (int32_t)delay;
  if (!channel.converter) {
    if (delayBytes) memset(channel.readBuffer.get(), 0, delayBytes);
    channel.outputCount = got ? delayBytes + got : 0;
    return seam;
  }
  uint32_t converted = channel.dataValid ? channel.converter->Convert(channel.readBuffer.get(), got) : 0;
  DelayOutput(channel.converter->FirstBuffer(), converted, delayBytes);
  DelayOutput(channel.converter->SecondBuffer(), converted, delayBytes);
  channel.outputCount = converted ? converted + delayBytes : 0;
  return seam;
}

// A resampled file: each block reads what the filter needs for a whole output block.
// A looping file goes on from the start of its data within the same block, with the
// filter's history running through, so the loop has no seam; the seams are found in
// the output from the input frames each pass begins at. A pass shorter than the
// block is read once and repeated in memory, so a block costs at most two reads and
// four seeks however short the loop. At the end of a file that does not loop, the
// outputs whose filter reaches past the end wait for the next block: a loop switched
// on meanwhile goes on through them, else they come out with silence after the end
// and the following read stops the channel.
ChannelEngine::BlockSeam ChannelEngine::ReadResampledBlock(Channel& channel) {
  BlockSeam seam;
  WaveFile* file = channel.file.get();
  WaveformatConverter* converter = channel.converter.get();
  if (!file) {
    channel.dataValid = 0;
    channel.state = kStopped;
    channel.outputCount = 0;
    return seam;
  }
  const uint32_t align = FrameBytes(file);
  const uint32_t inRate = converter->SourceFormat().nSamplesPerSec;
  const uint32_t outRate = converter->TargetFormat().nSamplesPerSec;
  SeamTrack& track = channel.seams;
  uint32_t blockFrames = channel.blockSize / hostFormat_.nBlockAlign;
  uint32_t delay = channel.startDelay;
  channel.startDelay = 0;
  if (delay > blockFrames) delay = blockFrames;
  uint8_t* buffer = channel.readBuffer.get();
  uint32_t wanted = converter->InputBytesWanted(blockFrames - delay);
  uint32_t got = 0;
  int code = ReadWholeFrames(file, buffer, wanted, &got);
  // The data ended in this block: a looping file goes on from its start, once.
  // A pass that ends before the block does is held whole in the buffer: it repeats
  // there, and the file goes on from where the last copy ends.
  if (code == 0 && got < wanted && channel.loop) {
    uint32_t start = got, pass = 0;
    code = file->SeekToData();
    if (code == 0) code = ReadWholeFrames(file, buffer + start, wanted - start, &pass);
    got += pass;
    while (code == 0 && pass > 0 && got < wanted) {
      uint32_t n = got - start < wanted - got ? got - start : wanted - got;
      memcpy(buffer + got, buffer + start, n);
      got += n;
    }
    if (code == 0 && pass > 0) {
      NotePasses(track, track.fed + start / align, pass / align, (got - start + pass - 1) / pass);
      uint32_t into = (got - start) % pass;
      if (got - start > pass && into != 0)
        code = file->Seek((int64_t)(file->DataStart() + into), MultimediaFile::kFromStart);
    }
  }
  // Without a loop, or with no whole frame to loop.
  bool ended = code == 0 && got < wanted;
  const uint32_t want = blockFrames - delay, sampleBytes = hostFormat_.nBlockAlign;
  uint32_t produced = 0;
  if (code == 0) {
    // The outputs that reach past the end come out with silence after it in the
    // block after the end (or at once when there is nothing else to give).
    bool flush = ended && (channel.tailPending || got == 0);
    produced = converter->Convert(buffer, got, flush, want) / sampleBytes;
    track.fed += got / align;
    if (ended && !flush && produced == 0) produced = converter->Convert(buffer, 0, true, want) / sampleBytes;
    channel.tailPending = ended;
  }
  if (produced > 0) {
    channel.dataValid = 1;
  } else {
    Rewind(channel);
    channel.dataValid = 0;
    channel.state = kStopped;
    channel.outputCount = 0;
    return seam;
  }
  uint32_t first = 0, last = 0;
  if (TakeSeams(track, produced, inRate, outRate, &first, &last)) {
    seam.loop = (int32_t)(delay + first);
    seam.restart = (int32_t)(delay + last);
    seam.restarted = seam.restart == 0;
  } else if (delay > 0) {
    seam.restart = (int32_t)delay;
  }
  track.made += produced;
  Rebase(track, inRate, outRate);
  uint32_t bytes = produced * sampleBytes, delayBytes = delay * sampleBytes;
  DelayOutput(converter->FirstBuffer(), bytes, delayBytes);
  DelayOutput(converter->SecondBuffer(), bytes, delayBytes);
  channel.outputCount = bytes + delayBytes;
  return seam;
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
// delivered. Where the sound begins again in the block, the count starts again there.
void ChannelEngine::MovePosition(int c, int p, const BlockSeam& seam) {
  PlayPosition& position = positions_[c];
  uint32_t samples = hostFormat_.nBlockAlign ? channels_[c].outputCount / hostFormat_.nBlockAlign : 0;
  bool wrapped = seam.restart >= 0;
  if (wrapped) {
    position.elapsed = 0;
    position.elapsedRest = 0;
    samples = (uint32_t)seam.restart < samples ? samples - (uint32_t)seam.restart : 0;
  }
  uint64_t rest = position.elapsedRest + (uint64_t)samples * 1000u;
  uint64_t elapsed = position.elapsed + rest / kHostRate;
  position.elapsedRest = (uint32_t)(rest % kHostRate);
  if (!wrapped && elapsed >= position.length) {
    elapsed = 0;
    position.elapsedRest = 0;
  }
  position.elapsed = (uint32_t)elapsed;
  position.restarted = seam.restarted ? 1 : 0;
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
// The host reads the channels in index order: those after c come in this period.
void ChannelEngine::StartWaitingChannels(int c, uint32_t offset) {
  if (!ValidIndex(c) || !channels_[c].sync) return;
  for (int i = 0; i < kNumChannels; ++i)
    if (ChangeState(&channels_[i].state, kWaitingForSync, kPlaying)) channels_[i].startDelay = i > c ? offset : 0;
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
