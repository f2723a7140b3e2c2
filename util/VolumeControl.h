// Starts the system's volume control, so that recording and playback levels can
// be set without leaving the plug-in (the configuration dialog's speaker button).
#pragma once
#include <windows.h>

// Where the classic volume control lives: windowsDirectory (with or without a
// trailing backslash) followed by "system32\<program>". False when it does not fit.
bool SystemProgramPath(const char* windowsDirectory, const char* program, char* out, int size);

// Starts system32\sndvol32.exe, or the later mixer system32\SndVol.exe where only
// that one exists. With neither, a box "<path> not found!" names the sndvol32 path.
// Does not wait for the program.
void LaunchVolumeControl();
