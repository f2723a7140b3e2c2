#include "plugin/ChannelEngine.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "recording/SyncObject.h"

ChannelEngine::ChannelEngine(Object* reporter) : reporter_(reporter) {
  memset(&setup_, 0, sizeof setup_);
  for (int c = 0; c < kNumChannels; ++c) {
    memset(&channels_[c], 0, sizeof channels_[c]);
    memset(&positions_[c], 0, sizeof positions_[c]);
    positions_[c].width = kPositionViewWidth;
    char name[32];
    snprintf(name, sizeof name, "ChannelLock%i", c);
    channels_[c].lock = new (std::nothrow) MutexObject(name);
  }
}

ChannelEngine::~ChannelEngine() {
  for (int c = 0; c < kNumChannels; ++c) {
    delete channels_[c].lock;
    channels_[c].lock = nullptr;
  }
}

bool ChannelEngine::Valid() const {
  for (const Channel& channel : channels_)
    if (!channel.lock || !channel.lock->Valid()) return false;
  return true;
}

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

void ChannelEngine::SendInternal(int32_t command) {
  InternalCallback callback = internalCallback_;
  if (!callback) return;
  InternalRecord record;
  memset(&record, 0, sizeof record);
  record.handle = pluginHandle_;
  callback(&record, command);
}

int ChannelEngine::ApplySetup(const SetupRecord& record) {
  setup_ = record;
  for (int c = 0; c < kNumChannels; ++c) {
    if (!channels_[c].loaded) continue;
    if (channels_[c].partner >= 0) CloseChannel(channels_[c].partner);
    CloseChannel(c);
  }
  // 32-bit arithmetic as the host's own: the product wraps rather than overflowing.
  int32_t halfBlock = setup_.words[kSetupBlockSize] / 2;
  int32_t increment = (int32_t)((uint32_t)halfBlock * 1000u) / 44100;
  for (PlayPosition& position : positions_) position.increment = (uint32_t)increment;
  return 0;
}

bool ChannelEngine::ReadStreamChannel(int c, uint8_t** output, int32_t* count) {
  if (c < 0 || c >= kNumChannels) return false;
  return false;
}

void ChannelEngine::StopAllChannels() {}

void ChannelEngine::CloseChannel(int c) {
  if (c < 0 || c >= kNumChannels || !channels_[c].loaded) return;
}
