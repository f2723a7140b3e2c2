// Where the plug-in's main window has the controls that a session can click,
// by the names the session script uses. The host keeps its own copy of the
// layout: clicking by it checks that the window puts its controls there.
#pragma once
#include <windows.h>

#include <cstring>

namespace hostkit {

// The main window's class and title, as createUserInterface makes it.
constexpr const char* kMainWindowClass = "Sondrel";
constexpr const char* kMainWindowTitle = "Orvan Sondrel";

// A point of the main window on no control, inside its outline: the pointer
// rests here between clicks, so no control keeps a hover look or a tooltip.
constexpr POINT kRestPoint = {250, 14};

struct ControlPlace {
  const char* name;  // as in "click NAME C"
  int left, top, width, height;  // of channel 1 (c = 0)
  int pitch;                     // added per channel index; 0 for a control of its own
};

// The strip controls a session may click, and the pre-recorder toggle.
constexpr ControlPlace kClickable[] = {
    {"open", 46, 53, 22, 22, 57},   {"close", 24, 53, 22, 22, 57}, {"play", 32, 32, 22, 22, 57},
    {"pause", 55, 32, 22, 22, 57},  {"sync", 445, 66, 17, 8, 14},  {"loop", 371, 63, 15, 10, 57},
    {"props", 80, 62, 30, 14, 57},  {"prerec", 428, 135, 45, 20, 0},
};

// The rectangle of a clickable control of channel c (1..4; ignored for a
// control of its own); false for an unknown name or channel.
inline bool FindControlRect(const char* name, int channel, RECT* rect) {
  for (const ControlPlace& place : kClickable) {
    if (strcmp(place.name, name) != 0) continue;
    if (place.pitch && (channel < 1 || channel > 4)) return false;
    int dy = place.pitch ? place.pitch * (channel - 1) : 0;
    SetRect(rect, place.left, place.top + dy, place.left + place.width, place.top + dy + place.height);
    return true;
  }
  return false;
}

// Where a drop on channel c's strip (1..4) lands: the middle of its plate, on the
// waveform view.
inline POINT StripDropPoint(int channel) { return {215, 54 + 57 * (channel - 1)}; }

// True for a control that belongs to one channel (needs C), false for the toggle.
inline bool IsStripControl(const char* name) {
  for (const ControlPlace& place : kClickable)
    if (strcmp(place.name, name) == 0) return place.pitch != 0;
  return false;
}

}  // namespace hostkit
