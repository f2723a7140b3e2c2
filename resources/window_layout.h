// Where the controls of the two skinned windows sit. The windows place their
// controls from here, the reference host clicks by it, the resource tests check
// the masks against it, and the skin generators (generate/layout.py) read the
// numbers of this file and draw the skin around them. The generators parse the
// "constexpr" lines: keep each value on one line in the forms used below.
#pragma once

// A control's place: left and top in the window's client area, width and height.
struct LayoutRect {
  int left, top, width, height;
};

// The main window's size (its background and mask bitmaps).
constexpr int kMainWidth = 485;
constexpr int kMainHeight = 272;

// Channel rows are this far apart; the sync switches form a column of their own
// with its own pitch.
constexpr int kRowPitch = 57;
constexpr int kSyncPitch = 14;

// The controls of channel 1's strip; channel c (from 0) is kRowPitch * c lower
// (the sync switch kSyncPitch * c).
constexpr LayoutRect kStripOpen = {46, 53, 22, 22};
constexpr LayoutRect kStripClose = {24, 53, 22, 22};
constexpr LayoutRect kStripPlay = {32, 32, 22, 22};
constexpr LayoutRect kStripPause = {55, 32, 22, 22};
constexpr LayoutRect kStripView = {80, 32, 315, 26};
constexpr LayoutRect kStripName = {114, 62, 226, 14};
constexpr LayoutRect kStripSync = {445, 66, 17, 8};
constexpr LayoutRect kStripLoop = {371, 63, 15, 10};
constexpr LayoutRect kStripLed = {400, 35, 15, 15};
constexpr LayoutRect kStripProps = {80, 62, 30, 14};
// The skin's plate under channel 1's strip: a point on it belongs to the channel.
constexpr LayoutRect kStripPlate = {8, 27, 416, 55};

// The main window's own control.
constexpr LayoutRect kPreRecorderToggle = {428, 135, 45, 20};

// The pre-recorder's size and controls.
constexpr int kPreRecorderWidth = 313;
constexpr int kPreRecorderHeight = 119;
constexpr LayoutRect kRecorderTrace = {23, 19, 100, 80};
constexpr LayoutRect kRecorderStart = {149, 46, 20, 17};
constexpr LayoutRect kRecorderStop = {181, 46, 20, 17};
constexpr LayoutRect kRecorderLed = {260, 50, 11, 11};
constexpr LayoutRect kRecorderOutput = {166, 82, 120, 14};

// A strip control's place in channel c's row (from 0).
constexpr LayoutRect InRow(const LayoutRect& place, int c) {
  return {place.left, place.top + kRowPitch * c, place.width, place.height};
}
// The sync switch of channel c (from 0).
constexpr LayoutRect SyncOf(int c) {
  return {kStripSync.left, kStripSync.top + kSyncPitch * c, kStripSync.width, kStripSync.height};
}
// Right and bottom, exclusive.
constexpr int RightOf(const LayoutRect& place) { return place.left + place.width; }
constexpr int BottomOf(const LayoutRect& place) { return place.top + place.height; }
