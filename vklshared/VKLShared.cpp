// The project's own shared run-time library: error texts, error display and help
// for the plug-in. The splash and tray entry points are bound by the plug-in but
// never called, so they do nothing.
#include "vklshared/VKLShared.h"

#include <cstdio>

#include "core/ErrorCodes.h"
#include "util/EngineBox.h"
#include "util/ModulePath.h"

extern "C" {

int32_t WINAPI GetErrorText(int32_t code, char* text) {
  if (!text) return 0;
  const char* known = ErrorCodeText(code);
  if (known) lstrcpynA(text, known, kErrorTextSize);
  else snprintf(text, kErrorTextSize, "error %d", (int)code);
  return 1;
}

int32_t WINAPI ShowVKLError(int32_t code, const char* source, const char* text) {
  ShowErrorBox(code, source, text);
  return 1;
}

int32_t WINAPI ShowSplashWindow(const char*) { return 0; }
int32_t WINAPI CloseSplashWindow() { return 0; }
int32_t WINAPI UpdateSplashText(const char*) { return 0; }

int32_t WINAPI HandleVKLHelp(const char* page, int32_t, int32_t, int32_t) {
  return OpenPageBesideModule(ModuleOfAddress((const void*)&HandleVKLHelp), page) ? 1 : 0;
}

int32_t WINAPI SetOrvanTrayIcon(int32_t) { return 0; }

}  // extern "C"
