// The fourteen functions the host calls, and the library's attach and detach.
// Each export forwards to the plug-in object or its main window object; without
// them or without the window object's channel records (allocation failed at
// attach) they answer as an empty plug-in would.
#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "core/HostTypes.h"
#include "plugin/ModuleResources.h"
#include "plugin/Plugin.h"
#include "ui/plugin/MainWindow.h"

namespace {
HINSTANCE g_instance = nullptr;
ModuleResources g_resources;
// Not a smart pointer: a static destructor would tear the plug-in down at process
// exit too, which DllMain deliberately skips.
Plugin* g_plugin = nullptr;

MainWindow* Main() { return g_plugin ? g_plugin->Main() : nullptr; }

// The attach shows nothing (it runs under the loader lock): what went wrong there is
// shown at the host's first call that is not a constant, outside the streaming thread.
volatile LONG g_noticesShown = 0;
void ShowAttachNotices() {
  if (g_plugin && InterlockedExchange(&g_noticesShown, 1) == 0) g_plugin->ShowAttachNotices();
}

void WriteText(uint8_t* record, size_t offset, size_t size, const char* text) {
  lstrcpynA(reinterpret_cast<char*>(record + offset), text, (int)size);
}
}  // namespace

extern "C" {

// Any thread, any time: constant.
int32_t getInterfaceVersion() { return kInterfaceVersion; }
// Any thread, any time: constant (input plug-in).
int32_t getPluginKind() { return kPluginKindInput; }
// Any thread, any time: constant.
int32_t supportNumChannels() { return kNumChannels; }

// Any thread, any time: fills the host's information record, touching no other byte.
void getPluginInfo(void* record) {
  using namespace PluginInfo;
  if (!record) return;
  uint8_t* r = static_cast<uint8_t*>(record);
  WriteText(r, kFullName, kFullNameSize, "Orvan Sondrel");
  WriteText(r, kShortName, kShortNameSize, "Sondrel");
  WriteText(r, kInputKind, kInputKindSize, "wave audio");
  WriteText(r, kCopyright, kCopyrightSize, "Copyright (c) 2000 Orvan Audio. All rights reserved.");
  WriteText(r, kVersion, kVersionSize, "v0.2b 08/2000");
  WriteText(r, kUrl, kUrlSize, "http://www.orvan-audio.example/sondrel/");
  const uint32_t zero = 0;
  memcpy(r + kWord592, &zero, sizeof zero);
}

// Before the user can act: stores the host's opaque handle.
void setPluginHandle(uint32_t handle) {
  ShowAttachNotices();
  if (MainWindow* main = Main()) main->Engine().SetPluginHandle(handle);
}

// Before the user can act: the host's event callback (events 2, 6, 7).
void setEventCallback(EventCallback callback) {
  ShowAttachNotices();
  if (g_plugin) g_plugin->SetEventCallback(callback);
}

// Before the user can act: the host's internal callback (command 15).
void setInternalCallback(InternalCallback callback) {
  ShowAttachNotices();
  if (g_plugin) g_plugin->SetInternalCallback(callback);
}

// Before files are opened, and again whenever the host's set-up changes: closes open channels.
int32_t setupAudioSystem(const SetupRecord* record) {
  ShowAttachNotices();
  if (MainWindow* main = Main()) {
    if (record) main->Engine().ApplySetup(*record);
  }
  return 1;
}

// On the thread that will run the window's messages: creates and shows the window.
int32_t createUserInterface(int32_t, int32_t showCommand) {
  ShowAttachNotices();
  MainWindow* main = Main();
  if (!main) return 0;
  return main->CreateUserInterface(g_instance, g_resources.Icon(), g_resources.Cursor(), showCommand) == 0 ? 1 : 0;
}

// On the window's thread: closes the window and unregisters its class.
int32_t destroyUserInterface() {
  ShowAttachNotices();
  MainWindow* main = Main();
  if (!main) return 0;
  return main->DestroyUserInterface();
}

// On the window's thread: shows (nonzero) or hides the window.
void onPluginSwitch(int32_t on) {
  ShowAttachNotices();
  if (MainWindow* main = Main()) main->Switch(on != 0);
}

// Host streaming thread, once per channel per period: one block of audio.
// A channel number outside 0..3 or a missing out pointer gets false and nothing touched.
int32_t readStreamChannel(int32_t channel, uint8_t** buffer, int32_t* count) {
  MainWindow* main = Main();
  if (!main || !buffer || !count || channel < 0 || channel >= kNumChannels) return 0;
  return main->Engine().ReadStreamChannel(channel, buffer, count) ? 1 : 0;
}

// Host streaming thread, when streaming failed: every loaded channel is stopped.
void onStreamingError(int32_t, int32_t) {
  if (MainWindow* main = Main()) main->Engine().StopAllChannels();
}

// Any thread: accepted and ignored.
int32_t execCommandString(int32_t, int32_t) { return 0; }

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH: {
      // The host has no start call: its first export call may come right after
      // LoadLibrary, so everything is made here, under the loader lock. Loading the
      // shared library and images and making mutexes, events and critical sections
      // is safe there; starting or waiting for a thread is not (a new thread runs
      // its own attach only after this one returns), so none is. Nothing is shown
      // here either: what went wrong is shown at the host's first call (ShowAttachNotices).
      g_instance = instance;
      g_resources.Load(instance);
      Plugin* plugin = new (std::nothrow) Plugin(instance);
      g_plugin = plugin;
      return plugin ? plugin->Initialize() : TRUE;
    }
    case DLL_PROCESS_DETACH: {
      // At process exit the other threads are gone and the system reclaims
      // everything; tear down only when the host unloads the library (then
      // under the loader lock too, with the same rules as attach).
      if (reserved) return TRUE;
      BOOL result = TRUE;
      std::unique_ptr<Plugin> plugin(g_plugin);
      g_plugin = nullptr;
      if (plugin) result = plugin->Terminate();
      g_resources.Release();
      return result;
    }
    default:
      return TRUE;
  }
}
