// Loads a plug-in library by path and resolves its fourteen exports by name.
#pragma once
#include <windows.h>

#include <string>

#include "core/HostTypes.h"

namespace hostkit {

// The plug-in's exports, in the order the host resolves them.
struct PluginApi {
  GetInterfaceVersionFn getInterfaceVersion;
  GetPluginKindFn getPluginKind;
  SupportNumChannelsFn supportNumChannels;
  GetPluginInfoFn getPluginInfo;
  SetPluginHandleFn setPluginHandle;
  SetEventCallbackFn setEventCallback;
  SetInternalCallbackFn setInternalCallback;
  SetupAudioSystemFn setupAudioSystem;
  CreateUserInterfaceFn createUserInterface;
  DestroyUserInterfaceFn destroyUserInterface;
  OnPluginSwitchFn onPluginSwitch;
  ReadStreamChannelFn readStreamChannel;
  OnStreamingErrorFn onStreamingError;
  ExecCommandStringFn execCommandString;
};

// The information record's seven fields, read back as text and number.
struct PluginInfoFields {
  std::string fullName, shortName, inputKind, copyright, version, url;
  uint32_t word592 = 0;
};

class PluginLoader {
 public:
  PluginLoader() = default;
  ~PluginLoader() { Unload(); }
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;

  // LoadLibraryA (the plug-in attaches), then every export by name. On failure
  // *error says why, naming the first missing export, and nothing stays loaded.
  bool Load(const std::string& path, std::string* error);
  // FreeLibrary (the plug-in detaches); nothing when not loaded.
  void Unload();

  bool Loaded() const { return module_ != nullptr; }
  HMODULE Module() const { return module_; }
  const PluginApi& Api() const { return api_; }

  // Calls getPluginInfo on a zeroed record and reads its fields, each bounded by its size.
  PluginInfoFields ReadInfo() const;

 private:
  HMODULE module_ = nullptr;
  PluginApi api_ = {};
};

// "text of the system's message (error N)" for a GetLastError code.
std::string SystemErrorText(DWORD code);

}  // namespace hostkit
