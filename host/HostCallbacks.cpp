#include "host/HostCallbacks.h"

namespace hostkit {

const char* ThreadNames::Name(DWORD threadId) const {
  if (threadId != 0 && threadId == ui_) return "ui";
  if (threadId != 0 && threadId == stream_) return "stream";
  return "other";
}

HostCallbacks* HostCallbacks::current_ = nullptr;

HostCallbacks::HostCallbacks(JsonLog& log, const ThreadNames& threads) : log_(log), threads_(threads) {
  closeRequested_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  current_ = this;
}

HostCallbacks::~HostCallbacks() {
  if (current_ == this) current_ = nullptr;
  if (closeRequested_) CloseHandle(closeRequested_);
}

void HostCallbacks::TrackChannels(const EventRecord& record) {
  const int32_t channel = record.channel, partner = record.partner;
  if (channel < 1 || channel > 4) return;
  const bool pair = partner >= 1 && partner <= 4 && partner != channel;
  LONG own = (LONG)(record.code == 6 && pair ? ChannelRole::kLeft : ChannelRole::kCentre);
  InterlockedExchange(&roles_[channel - 1], own);
  if (pair) InterlockedExchange(&roles_[partner - 1], (LONG)(record.code == 6 ? ChannelRole::kRight : ChannelRole::kCentre));
}

void HostCallbacks::Refuse(int32_t code) {
  if (code < 0 || code > 31) return;
  InterlockedOr(&refused_, (LONG)(1u << code));
}

bool HostCallbacks::Refuses(int32_t code) const {
  return code >= 0 && code <= 31 && (((unsigned long)refused_ >> code) & 1u);
}

// Plug-in thread that triggered the event (its window's thread, or whoever called setupAudioSystem).
int32_t HostCallbacks::OnEvent(EventRecord* record) {
  HostCallbacks* self = current_;
  if (!self) return 1;
  JsonObject line;
  line.Add("type", "event");
  if (!record) {
    self->log_.Append(line.AddBool("nullRecord", true).Add("answer", 0).Add("thread", self->threads_.Current()));
    return 0;
  }
  int32_t answer = self->Refuses(record->code) ? 0 : 1;
  line.Add("code", record->code)
      .Add("flag", record->flag)
      .Add("handle", record->handle)
      .Add("channel", record->channel)
      .Add("partner", record->partner)
      .Add("reserved16", record->reserved16)
      .Add("reserved20", record->reserved20)
      .Add("answer", answer)
      .Add("thread", self->threads_.Current());
  self->log_.Append(line);
  if ((answer && record->code == 6) || record->code == 7) self->TrackChannels(*record);
  return answer;
}

// Plug-in's window thread, when the user asks to close the window.
int32_t HostCallbacks::OnInternal(InternalRecord* record, int32_t command) {
  HostCallbacks* self = current_;
  if (!self) return 0;
  JsonObject line;
  line.Add("type", "internal").Add("command", command);
  if (record) {
    bool restZero = true;
    for (int32_t word : record->words) restZero = restZero && word == 0;
    line.Add("word0", record->handle).AddBool("restZero", restZero);
  } else {
    line.AddBool("nullRecord", true);
  }
  self->log_.Append(line.Add("thread", self->threads_.Current()));
  if (command == 15 && self->closeRequested_) SetEvent(self->closeRequested_);
  return 1;
}

}  // namespace hostkit
