#include "host/PluginLoader.h"

#include <cstring>

namespace hostkit {

std::string SystemErrorText(DWORD code) {
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                           sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ' || text[n - 1] == '.')) --n;
  std::string out(text, n);
  if (out.empty()) out = "system error";
  return out + " (error " + std::to_string(code) + ")";
}

namespace {
template <typename Fn>
bool Resolve(HMODULE module, const char* name, Fn* slot, std::string* missing) {
  *slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (*slot || !missing->empty()) return *slot != nullptr;
  *missing = name;
  return false;
}

std::string Field(const uint8_t* record, size_t offset, size_t size) {
  const char* text = reinterpret_cast<const char*>(record + offset);
  return std::string(text, strnlen(text, size));
}
}  // namespace

bool PluginLoader::Load(const std::string& path, std::string* error) {
  Unload();
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    *error = "cannot load " + path + ": " + SystemErrorText(GetLastError());
    return false;
  }
  PluginApi api = {};
  std::string missing;
#define SONDREL_RESOLVE(name) Resolve(module, #name, &api.name, &missing)
  bool complete = SONDREL_RESOLVE(getInterfaceVersion) & SONDREL_RESOLVE(getPluginKind) &
                  SONDREL_RESOLVE(supportNumChannels) & SONDREL_RESOLVE(getPluginInfo) &
                  SONDREL_RESOLVE(setPluginHandle) & SONDREL_RESOLVE(setEventCallback) &
                  SONDREL_RESOLVE(setInternalCallback) & SONDREL_RESOLVE(setupAudioSystem) &
                  SONDREL_RESOLVE(createUserInterface) & SONDREL_RESOLVE(destroyUserInterface) &
                  SONDREL_RESOLVE(onPluginSwitch) & SONDREL_RESOLVE(readStreamChannel) &
                  SONDREL_RESOLVE(onStreamingError) & SONDREL_RESOLVE(execCommandString);
#undef SONDREL_RESOLVE
  if (!complete) {
    FreeLibrary(module);
    *error = path + " is not a plug-in: its export \"" + missing + "\" is missing";
    return false;
  }
  module_ = module;
  api_ = api;
  return true;
}

void PluginLoader::Unload() {
  if (!module_) return;
  FreeLibrary(module_);
  module_ = nullptr;
  api_ = PluginApi{};
}

PluginInfoFields PluginLoader::ReadInfo() const {
  using namespace PluginInfo;
  PluginInfoFields fields;
  if (!module_) return fields;
  // Larger than the record the plug-in may fill, so a plug-in that overruns it hurts nothing here.
  uint8_t record[1024] = {};
  api_.getPluginInfo(record);
  fields.fullName = Field(record, kFullName, kFullNameSize);
  fields.shortName = Field(record, kShortName, kShortNameSize);
  fields.inputKind = Field(record, kInputKind, kInputKindSize);
  fields.copyright = Field(record, kCopyright, kCopyrightSize);
  fields.version = Field(record, kVersion, kVersionSize);
  fields.url = Field(record, kUrl, kUrlSize);
  memcpy(&fields.word592, record + kWord592, sizeof fields.word592);
  return fields;
}

}  // namespace hostkit
