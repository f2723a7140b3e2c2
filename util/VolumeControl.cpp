#include "util/VolumeControl.h"

#include <cstdio>

#include "util/EngineBox.h"
#include "util/PathText.h"

namespace {
const char* const kClassicMixer = "sndvol32.exe";
const char* const kLaterMixer = "SndVol.exe";
}  // namespace

bool SystemProgramPath(const char* windowsDirectory, const char* program, char* out, int size) {
  if (!out || size <= 0) return false;
  out[0] = '\0';
  const char* directory = windowsDirectory ? windowsDirectory : "";
  const int length = lstrlenA(directory);
  const char* separator = length > 0 && directory[length - 1] == '\\' ? "" : "\\";
  int written = snprintf(out, size, "%s%ssystem32\\%s", directory, separator, program ? program : "");
  return written >= 0 && written < size;
}

void LaunchVolumeControl() {
  char windows[256];
  UINT n = GetWindowsDirectoryA(windows, sizeof windows);
  if (n == 0 || n >= sizeof windows) windows[0] = '\0';
  char classic[300], later[300];
  SystemProgramPath(windows, kClassicMixer, classic, sizeof classic);
  SystemProgramPath(windows, kLaterMixer, later, sizeof later);
  const char* program = FileExists(classic) ? classic : FileExists(later) ? later : nullptr;
  if (!program) {
    char text[400];
    snprintf(text, sizeof text, "%s not found!", classic);
    ShowEngineBox(text);
    return;
  }
  // The program's own window takes over; its result is not the plug-in's business.
  WinExec(program, SW_SHOWNORMAL);
}
