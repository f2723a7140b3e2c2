#include "util/EngineBox.h"

#include <windows.h>

#include <cstdio>

#include "core/HostTypes.h"

void ShowEngineBox(const char* text) {
  MessageBoxA(GetDesktopWindow(), text ? text : "", kEngineTitle, MB_ICONHAND | MB_TASKMODAL | MB_TOPMOST);
}

void ShowErrorBox(int code, const char* source, const char* text) {
  char message[576];  // a source and an error text of up to 256 bytes each, and the frame
  snprintf(message, sizeof message, "%s\n\nError %d: %s", source && source[0] ? source : "Orvan Sondrel", code,
           text && text[0] ? text : "unknown error");
  ShowEngineBox(message);
}
