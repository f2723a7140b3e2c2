// Where the plug-in's main window has the controls that a session can click,
// by the names the session script uses; the places are the plug-in's own layout.
#pragma once
#include <windows.h>

#include <cstring>

#include "resources/window_layout.h"

namespace hostkit {

// The main window's class and title, as createUserInterface makes it.
constexpr const char* kMainWindowClass = "Sondrel";
constexpr const char* kMainWindowTitle = "Orvan Sondrel";

// A point of the main window on no control, inside its outline: the pointer
// rests here between clicks, so no control keeps a hover look or a tooltip.
constexpr POINT kRestPoint = {250, 14};

struct ControlPlace {
  const char* name;   // as in "click NAME C"
  LayoutRect place;   // of channel 1 (c = 0)
  int pitch;          // added per channel index; 0 for a control of its own
};

// The strip controls a session may click, and the pre-recorder toggle.
constexpr ControlPlace kClickable[] = {
    {"open", kStripOpen, kRowPitch},   {"close", kStripClose, kRowPitch}, {"play", kStripPlay, kRowPitch},
    {"pause", kStripPause, kRowPitch}, {"sync", kStripSync, kSyncPitch},  {"loop", kStripLoop, kRowPitch},
    {"props", kStripProps, kRowPitch}, {"prerec", kPreRecorderToggle, 0},
};

// The rectangle of a clickable control of channel c (1..4; ignored for a
// control of its own); false for an unknown name or channel.
inline bool FindControlRect(const char* name, int channel, RECT* rect) {
  for (const ControlPlace& place : kClickable) {
    if (strcmp(place.name, name) != 0) continue;
    if (place.pitch && (channel < 1 || channel > 4)) return false;
    const LayoutRect& r = place.place;
    int dy = place.pitch ? place.pitch * (channel - 1) : 0;
    SetRect(rect, r.left, r.top + dy, r.left + r.width, r.top + dy + r.height);
    return true;
  }
  return false;
}

// Where a drop on channel c's strip (1..4) lands: the middle of its plate, on the
// waveform view.
inline POINT StripDropPoint(int channel) {
  const LayoutRect plate = InRow(kStripPlate, channel - 1);
  return {plate.left + plate.width / 2, plate.top + plate.height / 2};
}

// True for a control that belongs to one channel (needs C), false for the toggle.
inline bool IsStripControl(const char* name) {
  for (const ControlPlace& place : kClickable)
    if (strcmp(place.name, name) == 0) return place.pitch != 0;
  return false;
}

}  // namespace hostkit
