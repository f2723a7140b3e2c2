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

// 0 bound, 1 library not loaded, 10 an entry point is missing (the module stays
// loaded). Shows nothing: it runs in the library's attach.
int LoadSharedLibrary();
// Tells the user, once, that the library file was not found by LoadSharedLibrary.
// Called outside the attach, on a thread that may show a message box.
void ShowSharedLibraryNotice();
void UnloadSharedLibrary();
// The table when every entry point was found; null otherwise.
const SharedLibraryTable* SharedLibraryBound();
