// A stand-in plug-in with known answers, to drive the reference host:
// - createUserInterface asks for channel 1 with partner 2 (event 6), then for a
//   start (event 2), then sends command 15; a refusal shows a message box, and
//   the result is true only when both were accepted;
// - readStreamChannel delivers, in period p, block/2 samples of value
//   1000 * (c + 1) + p on channels 0 and 1, half that many on channel 2, and
//   nothing (false) on channel 3;
// - onStreamingError sends event 7 for channel 4.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "core/HostTypes.h"

namespace {
uint32_t g_handle = 0;
EventCallback g_event = nullptr;
InternalCallback g_internal = nullptr;
int32_t g_blockBytes = 0;
int32_t g_period = 0;
int16_t g_samples[3][32768];

int32_t Send(int32_t code, int32_t channel, int32_t partner) {
  EventRecord record = {};
  record.code = code;
  record.flag = 1;
  record.handle = code == kEventStart ? 0 : g_handle;
  record.channel = code == kEventStart ? 0 : channel;
  record.partner = code == kEventStart ? 0 : partner;
  return g_event ? g_event(&record) : 1;
}

void Refused(const char* text) { MessageBoxA(GetDesktopWindow(), text, kEngineTitle, MB_ICONHAND | MB_TASKMODAL); }
}  // namespace

extern "C" {
int32_t getInterfaceVersion() { return kInterfaceVersion; }
int32_t getPluginKind() { return kPluginKindInput; }
int32_t supportNumChannels() { return kNumChannels; }
void getPluginInfo(void* record) {
  lstrcpynA(static_cast<char*>(record) + PluginInfo::kFullName, "Probe", PluginInfo::kFullNameSize);
  lstrcpynA(static_cast<char*>(record) + PluginInfo::kVersion, "1", PluginInfo::kVersionSize);
}
void setPluginHandle(uint32_t handle) { g_handle = handle; }
void setEventCallback(EventCallback callback) { g_event = callback; }
void setInternalCallback(InternalCallback callback) { g_internal = callback; }
int32_t setupAudioSystem(const SetupRecord* record) {
  g_blockBytes = record->words[kSetupBlockSize];
  if (g_blockBytes < 0) g_blockBytes = 0;
  if (g_blockBytes > (int32_t)sizeof g_samples[0]) g_blockBytes = sizeof g_samples[0];
  return 1;
}
int32_t createUserInterface(int32_t, int32_t) {
  bool channel = Send(kEventChannelOpen, 1, 2) != 0;
  if (!channel) Refused("probe: channel refused");
  bool start = Send(kEventStart, 0, 0) != 0;
  if (!start) Refused("probe: start refused");
  InternalRecord record = {};
  record.handle = g_handle;
  if (g_internal) g_internal(&record, kCommandCloseWindow);
  return channel && start ? 1 : 0;
}
int32_t destroyUserInterface() { return 1; }
void onPluginSwitch(int32_t) {}
int32_t readStreamChannel(int32_t channel, uint8_t** buffer, int32_t* count) {
  if (channel < 0 || channel > 2) return 0;
  if (channel == 0) ++g_period;
  int32_t samples = g_blockBytes / 2;
  if (channel == 2) samples /= 2;
  for (int32_t i = 0; i < samples; ++i) g_samples[channel][i] = (int16_t)(1000 * (channel + 1) + g_period - 1);
  *buffer = reinterpret_cast<uint8_t*>(g_samples[channel]);
  *count = samples * 2;
  return 1;
}
void onStreamingError(int32_t, int32_t) { Send(kEventChannelClose, 4, 0); }
int32_t execCommandString(int32_t, int32_t) { return 0; }
}
