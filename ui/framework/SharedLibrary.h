// Binding of the shared run-time library VKLShared.dll: error texts, error display, help.
#pragma once
#include "vklshared/VKLShared.h"

struct SharedLibraryTable {
  GetErrorTextFn GetErrorText;
  ShowVKLErrorFn ShowVKLError;
  ShowSplashWindowFn ShowSplashWindow;
  CloseSplashWindowFn CloseSplashWindow;
  UpdateSplashTextFn UpdateSplashText;
  HandleVKLHelpFn HandleVKLHelp;
  SetOrvanTrayIconFn SetOrvanTrayIcon;
};

// 0 bound, 1 library not loaded, 10 an entry point is missing (module and table stay),
// 19 no memory for the table.
int LoadSharedLibrary();
void UnloadSharedLibrary();
// The table when every entry point was found; null otherwise.
const SharedLibraryTable* SharedLibraryBound();
