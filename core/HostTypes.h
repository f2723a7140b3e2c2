// Records that cross the boundary between the host audio engine and the plug-in.
// Their layout is fixed as 32-bit words in both the 32- and the 64-bit build.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kNumChannels = 4;
constexpr int32_t kInterfaceVersion = 257;
constexpr int32_t kPluginKindInput = 1;

// Six words handed to setupAudioSystem; word 1 block size, word 3 file buffer size.
struct SetupRecord {
  int32_t words[6];
};
enum SetupWord { kSetupBlockSize = 1, kSetupFileBuffer = 3 };

// Event codes sent through the host's event callback.
enum HostEvent : int32_t { kEventStart = 2, kEventChannelOpen = 6, kEventChannelClose = 7 };
// The only internal command: the user asks to close the plug-in's window.
constexpr int32_t kCommandCloseWindow = 15;

struct EventRecord {
  int32_t code;
  int32_t flag;     // always 1
  uint32_t handle;  // plug-in handle; 0 in event 2
  int32_t channel;  // counted from 1; 0 in event 2
  int32_t reserved16;
  int32_t reserved20;
  int32_t partner;  // counted from 1; 0 when there is none
};
static_assert(sizeof(EventRecord) == 28, "event record is seven words");

struct InternalRecord {
  uint32_t handle;  // word 0
  int32_t words[7];
};
static_assert(sizeof(InternalRecord) == 32, "internal command record is eight words");

// Plug-in information record: at least 596 bytes, owned by the host.
namespace PluginInfo {
constexpr size_t kFullName = 0, kFullNameSize = 128;
constexpr size_t kShortName = 128, kShortNameSize = 32;
constexpr size_t kInputKind = 160, kInputKindSize = 32;
constexpr size_t kCopyright = 192, kCopyrightSize = 128;
constexpr size_t kVersion = 320, kVersionSize = 16;
constexpr size_t kUrl = 336, kUrlSize = 256;
constexpr size_t kWord592 = 592;
constexpr size_t kRecordSize = 596;
}  // namespace PluginInfo

typedef int32_t (*EventCallback)(EventRecord* record);
typedef int32_t (*InternalCallback)(InternalRecord* record, int32_t command);

// The fourteen exports, as the host sees them.
extern "C" {
typedef int32_t (*GetInterfaceVersionFn)();
typedef int32_t (*GetPluginKindFn)();
typedef int32_t (*SupportNumChannelsFn)();
typedef void (*GetPluginInfoFn)(void* record);
typedef void (*SetPluginHandleFn)(uint32_t handle);
typedef void (*SetEventCallbackFn)(EventCallback callback);
typedef void (*SetInternalCallbackFn)(InternalCallback callback);
typedef int32_t (*SetupAudioSystemFn)(const SetupRecord* record);
typedef int32_t (*CreateUserInterfaceFn)(int32_t unused, int32_t showCommand);
typedef int32_t (*DestroyUserInterfaceFn)();
typedef void (*OnPluginSwitchFn)(int32_t on);
typedef int32_t (*ReadStreamChannelFn)(int32_t channel, uint8_t** buffer, int32_t* count);
typedef void (*OnStreamingErrorFn)(int32_t a, int32_t b);
typedef int32_t (*ExecCommandStringFn)(int32_t a, int32_t b);
}

// Title of every message box the plug-in and the shared library show.
constexpr const char* kEngineTitle = "Orvan Audio Engine v0.1b";
