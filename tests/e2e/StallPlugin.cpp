// A stand-in plug-in that keeps the host's threads, to show that the host never
// waits forever. The handle the session gives chooses where it stalls:
//   handle 1: createUserInterface never returns (the interface thread is kept);
//   handle 2: readStreamChannel never returns (the streaming thread is kept).
// Any other handle: a plug-in with no window and four empty channels.
#include <windows.h>

#include <cstdint>

#include "core/HostTypes.h"

namespace {
volatile uint32_t g_handle = 0;
}  // namespace

extern "C" {
int32_t getInterfaceVersion() { return kInterfaceVersion; }
int32_t getPluginKind() { return kPluginKindInput; }
int32_t supportNumChannels() { return kNumChannels; }
void getPluginInfo(void* record) {
  lstrcpynA(static_cast<char*>(record) + PluginInfo::kFullName, "Stall", PluginInfo::kFullNameSize);
}
void setPluginHandle(uint32_t handle) { g_handle = handle; }
void setEventCallback(EventCallback) {}
void setInternalCallback(InternalCallback) {}
int32_t setupAudioSystem(const SetupRecord*) { return 1; }
int32_t createUserInterface(int32_t, int32_t) {
  while (g_handle == 1) Sleep(1000);
  return 0;
}
int32_t destroyUserInterface() { return 0; }
void onPluginSwitch(int32_t) {}
int32_t readStreamChannel(int32_t, uint8_t**, int32_t*) {
  while (g_handle == 2) Sleep(1000);
  return 0;
}
void onStreamingError(int32_t, int32_t) {}
int32_t execCommandString(int32_t, int32_t) { return 0; }
}
