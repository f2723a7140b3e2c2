// The user's channel commands: play/stop, pause, sync, loop, close, and the
// emptying of channels that closes and loads share.
#include <utility>

#include "engine/ChannelEngine.h"
#include "engine/Channel.h"
#include "engine/ChannelLock.h"
#include "core/ErrorCodes.h"
#include "wavedata/WaveFile.h"

namespace {
// Bits lo..hi: the channels a pair-aware empty must lock.
uint32_t RangeBits(int lo, int hi) {
  uint32_t mask = 0;
  for (int c = lo; c <= hi; ++c) mask |= 1u << c;
  return mask;
}
}  // namespace

// Empties channel c; its lock is held by this thread. Event 7 comes last, when the
// record and the strip are empty: a host handler that runs a modal loop lets the
// window paint and read the channel meanwhile.
void ChannelEngine::CloseChannel(int c) {
  Channel& channel = channels_[c];
  if (!channel.loaded) return;
  bool owner = channel.owner;
  int p = channel.partner;
  if (owner) {
    // The host may still be copying the last block: the memory goes later.
    retired_.Retire(std::move(channel.readBuffer), std::move(channel.converter), PairMask(c));
    channel.file.reset();
    channel.owner = false;
    channel.readSize = 0;
  }
  channel.partner = -1;
  channel.output = nullptr;
  channel.outputCount = 0;
  channel.previousState = channel.state;
  channel.state = kStopped;
  channel.loaded = false;
  channel.dataValid = 0;
  RefreshStrip(c);
  ShowChannelState(c);
  if (owner) SendEvent(kEventChannelClose, c + 1, ValidIndex(p) ? p + 1 : 0);
}

// A half of a stereo file never stays
// behind alone: the whole pair touching the range is emptied.
bool ChannelEngine::EmptyChannelsFor(int first, int last) {
  auto rangeMask = [&]() {
    int p = PartnerOf(last);
    return RangeBits(OwnerOf(first), p >= 0 ? p : last);
  };
  // Only loads make pairs, on the interface thread; a mask that changed while its
  // locks were awaited is taken again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    uint32_t mask = rangeMask();
    HeldLocks locks;
    if (!LockChannels(locks, mask)) return false;
    if (rangeMask() != mask) continue;
    for (int c = 0; c < kNumChannels; ++c) {
      if (!(mask & (1u << c))) continue;
      int p = PartnerOf(c);
      if (p >= 0) CloseChannel(p);
      CloseChannel(c);
    }
    return true;
  }
  return false;
}

// A loaded file that takes part in synchronised starts; a right half counts through its owner.
bool ChannelEngine::Synchronised(int c) const {
  const Channel& channel = channels_[c];
  return channel.loaded && channel.owner && channel.sync;
}

// Takes the locks of channel c and its partner; false when they could not be had or
// the pair changed while they were awaited.
bool ChannelEngine::LockPair(HeldLocks& locks, int c) {
  uint32_t mask = PairMask(c);
  return LockChannels(locks, mask) && PairMask(c) == mask;
}

// A channel the host's set-up could not close: the next command on it closes it.
bool ChannelEngine::Outdated(int c) const {
  return channels_[c].loaded && channels_[c].blockSize != BlockSize();
}

// Play/stop switch: starts (with the host's consent) or stops and rewinds.
bool ChannelEngine::PlayStop(int c) {
  if (!ValidIndex(c)) return true;
  c = OwnerOf(c);
  if (!channels_[c].loaded) return true;
  if (Outdated(c)) return CloseFile(c);
  // A synchronised start the host refuses stops every loaded channel.
  auto lockMask = [&]() {
    uint32_t mask = PairMask(c);
    if (channels_[c].sync)
      for (int k = 0; k < kNumChannels; ++k)
        if (channels_[k].loaded) mask |= 1u << k;
    return mask;
  };
  uint32_t mask = lockMask();
  bool refused = false;
  {
    HeldLocks locks;
    if (!LockChannels(locks, mask)) return false;
    if (lockMask() != mask) return false;
    Channel& channel = channels_[c];
    if (!channel.loaded) return true;
    int p = PartnerOf(c);
    Channel* partner = ValidIndex(p) ? &channels_[p] : nullptr;
    switch (channel.state) {
      case kStopped:
        if (channel.sync) {
          refused = !StartSynchronised(c, p);
          break;
        }
        channel.state = kPlaying;
        channel.startDelay = 0;
        if (partner) partner->state = kPlaying;
        if (SendEvent(kEventStart, 0, 0) == 0) {
          channel.state = kStopped;
          if (partner) partner->state = kStopped;
          refused = true;
        }
        break;
      case kPlaying:
      case kPaused:
        Rewind(channel);
        channel.state = kStopped;
        channel.dataValid = 0;
        if (partner) {
          partner->state = kStopped;
          partner->dataValid = 0;
        }
        break;
      default:  // waiting: only a looping synchronised channel or sync off ends it
        break;
    }
    ShowChannelState(c);
    if (partner) ShowChannelState(p);
  }
  // Shown once the locks are free: the message box must not hold up the host's reads.
  if (refused) {
    ForgetPressedControl();
    if (reporter_) reporter_->ReportError(Error::HostRefusedStart);
  }
  return true;
}

// A stopped synchronised channel c: waits while a synchronised channel plays, else starts
// every synchronised channel with one event 2. False when the host refused; every
// loaded channel is then stopped and rewound, also those that were playing without
// sync or paused, and each shows its new state.
bool ChannelEngine::StartSynchronised(int c, int p) {
  for (int k = 0; k < kNumChannels; ++k) {
    if (Synchronised(k) && channels_[k].state == kPlaying) {
      channels_[c].state = kWaitingForSync;
      if (ValidIndex(p)) channels_[p].state = kWaitingForSync;
      return true;
    }
  }
  uint32_t changed = 0;
  for (int k = 0; k < kNumChannels; ++k) {
    if (!Synchronised(k)) continue;
    uint32_t pair = PairMask(k);
    for (int j = 0; j < kNumChannels; ++j)
      if (pair & (1u << j)) {
        channels_[j].state = kPlaying;
        channels_[j].startDelay = 0;
        changed |= 1u << j;
      }
  }
  bool accepted = SendEvent(kEventStart, 0, 0) != 0;
  if (!accepted) {
    for (int k = 0; k < kNumChannels; ++k) {
      Channel& channel = channels_[k];
      if (!channel.loaded || channel.state == kStopped) continue;
      if (channel.owner) Rewind(channel);
      changed |= 1u << k;
      channel.state = kStopped;
      channel.dataValid = 0;
    }
  }
  for (int k = 0; k < kNumChannels; ++k)
    if ((changed & (1u << k)) && k != c && k != p) ShowChannelState(k);
  return accepted;
}

// Pause switch: playing and paused swap, for both halves of a stereo file.
bool ChannelEngine::Pause(int c) {
  if (!ValidIndex(c)) return true;
  c = OwnerOf(c);
  if (!channels_[c].loaded) return true;
  if (Outdated(c)) return CloseFile(c);
  HeldLocks locks;
  if (!LockPair(locks, c)) return false;
  Channel& channel = channels_[c];
  if (!channel.loaded) return true;
  int p = PartnerOf(c);
  int32_t next = channel.state == kPlaying ? kPaused : channel.state == kPaused ? kPlaying : channel.state;
  channel.state = next;
  if (ValidIndex(p)) channels_[p].state = next;
  ShowChannelState(c);
  if (ValidIndex(p)) ShowChannelState(p);
  return true;
}

// Sync switch; switching it off ends a wait for a synchronised start.
bool ChannelEngine::SetSync(int c, bool on) {
  if (!ValidIndex(c)) return true;
  c = OwnerOf(c);
  HeldLocks locks;
  if (!LockPair(locks, c)) return false;
  Channel& channel = channels_[c];
  channel.sync = on;
  if (!channel.loaded) return true;
  int p = PartnerOf(c);
  if (ValidIndex(p)) channels_[p].sync = on;
  if (!on && channel.state == kWaitingForSync) {
    channel.state = kStopped;
    ShowChannelState(c);
    if (ValidIndex(p)) {
      channels_[p].state = kStopped;
      ShowChannelState(p);
    }
  }
  return true;
}

// Loop switch; takes effect at the next end of the data.
bool ChannelEngine::SetLoop(int c, bool on) {
  if (!ValidIndex(c)) return true;
  c = OwnerOf(c);
  HeldLocks locks;
  if (!LockPair(locks, c)) return false;
  Channel& channel = channels_[c];
  channel.loop = on;
  int p = PartnerOf(c);
  if (ValidIndex(p)) channels_[p].loop = on;
  return true;
}

// Close switch: empties the channel, and a stereo file's both channels.
bool ChannelEngine::CloseFile(int c) {
  if (!ValidIndex(c) || !channels_[c].loaded) return true;
  bool done = EmptyChannelsFor(c, c);
  retired_.Collect();
  return done;
}
