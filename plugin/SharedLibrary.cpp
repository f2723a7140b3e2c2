#include "plugin/SharedLibrary.h"

#include <cstdio>

#include "core/ErrorCodes.h"
#include "core/HostTypes.h"
#include "util/EngineBox.h"
#include "util/ModulePath.h"

namespace {
HMODULE g_module = nullptr;
// Filled by LoadSharedLibrary; used only while g_complete.
SharedLibraryTable g_table = {};
bool g_complete = false;
// The library file was not found: the user is told once the attach is over.
volatile LONG g_noticePending = 0;

const char* const kEntryNames[7] = {"GetErrorText",     "ShowVKLError",  "ShowSplashWindow",
                                    "CloseSplashWindow", "UpdateSplashText", "HandleVKLHelp",
                                    "SetOrvanTrayIcon"};
}  // namespace

int LoadSharedLibrary() {
  if (g_module) return g_complete ? 0 : Error::EntryMissing;
  g_module = LoadLibraryA("VKLShared.dll");
  DWORD failure = g_module ? 0 : GetLastError();
  if (!g_module && failure == ERROR_MOD_NOT_FOUND) {
    // The host's search path holds its own folder; a plug-in installed elsewhere
    // keeps the library beside itself.
    char beside[MAX_PATH];
    if (PathBesideModule(ModuleOfAddress((const void*)&LoadSharedLibrary), "VKLShared.dll", beside, sizeof beside)) {
      g_module = LoadLibraryA(beside);
      if (!g_module && GetLastError() != ERROR_MOD_NOT_FOUND) failure = GetLastError();
    }
  }
  if (!g_module) {
    // Called under the loader lock: a message box now would hold up every thread of
    // the host that loads a library or starts a thread until the user answers it.
    if (failure == ERROR_MOD_NOT_FOUND) InterlockedExchange(&g_noticePending, 1);
    return 1;
  }
  FARPROC* slots = reinterpret_cast<FARPROC*>(&g_table);
  g_complete = true;
  for (int i = 0; i < 7; ++i) {
    slots[i] = GetProcAddress(g_module, kEntryNames[i]);
    if (!slots[i]) g_complete = false;
  }
  return g_complete ? 0 : Error::EntryMissing;
}

void ShowSharedLibraryNotice() {
  if (InterlockedExchange(&g_noticePending, 0) == 0) return;
  char text[256];
  snprintf(text, sizeof text, "VKL Shared Library %s not found.\n%s cannot run without this file!", "VKLShared.dll",
           kEngineTitle);
  ShowEngineBox(text);
}

void UnloadSharedLibrary() {
  InterlockedExchange(&g_noticePending, 0);
  if (!g_module) return;
  FreeLibrary(g_module);
  g_module = nullptr;
  g_complete = false;
  g_table = SharedLibraryTable();
}

const SharedLibraryTable* SharedLibraryBound() { return g_complete ? &g_table : nullptr; }
