// One channel's row of the main window: name display, open and close buttons,
// play/stop, pause, sync and loop switches, properties button, activity LED and
// the waveform view over the strip's picture. The controls belong to the
// window's control table; the strip only keeps pointers to them while the
// window exists, and shows a channel's load state and play state on them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "engine/ChannelEngine.h"

class Control;
class ImageSwitch;
class PositionView;
class PushButton;
class Surface;
class TextDisplay;
class ToggleButton;
class UserInterface;

// The command code every strip control sends with WM_COMMAND; the control itself
// travels as lParam and its identifier as its user value.
constexpr WPARAM kControlCommand = 0x200;

// Control identifiers: the first of four, one per channel c (add c).
enum StripControlId : int {
  kIdOpen = 1,
  kIdClose = 5,
  kIdPlayStop = 9,
  kIdPause = 13,
  kIdView = 17,
  kIdName = 21,
  kIdSync = 25,
  kIdLoop = 29,
  kIdLed = 33,
  kIdProperties = 37,
  kIdPreRecorderToggle = 41,
};

// The shared control images of the main window's skin (the window owns them).
struct StripImages {
  const Surface* open;
  const Surface* close;
  const Surface* playStop;
  const Surface* pause;
  const Surface* sync;
  const Surface* loop;
  const Surface* ledLit;
  const Surface* ledUnlit;
  const Surface* properties;
};

// What a strip shows of a channel's load state; taken under the channel's lock.
struct StripLoadState {
  bool loaded;
  bool owner;
  bool loop;
  bool sync;
  char fileName[MAX_PATH];  // without its directory; empty when not loaded
};

// The colour of an empty strip's picture.
constexpr COLORREF kEmptyStripColour = RGB(0x63, 0x63, 0x94);

class ChannelStrip {
 public:
  ChannelStrip() = default;
  ChannelStrip(const ChannelStrip&) = delete;
  ChannelStrip& operator=(const ChannelStrip&) = delete;

  // Inside the window's CreateControls: makes channel c's controls and adds them to
  // window in the order open, close, play/stop, pause, properties, name display,
  // waveform view, loop, sync, LED. The view shows image and follows position.
  // 0, or the code already reported: 19 (table full) or 28 (a control failed).
  int Create(UserInterface& window, int c, const StripImages& images, Surface* image, PlayPosition* position);
  // The window has freed its controls: forget them.
  void Forget();
  bool Created() const { return open_ != nullptr; }

  // Shows whether the channel holds a file and whose half it is (interface thread).
  void ShowLoadState(const StripLoadState& state);
  // Shows the channel's play state (interface thread).
  void ShowPlayState(int32_t state);

  // The channel whose strip (its plate on the skin, or its sync switch) holds the
  // client point, or -1.
  static int ChannelAt(int x, int y);
  // The channel an identifier of a strip control belongs to, or -1.
  static int ChannelOfId(int id);
  // Sets a control's identifier and tooltip and adds it to window (the window's
  // own toggle comes through here too). A null control reports 19; a geometry
  // result other than 0 reports 28 (the control goes).
  static int Add(UserInterface& window, std::unique_ptr<Control> control, int geometryResult, int id,
                 const char* toolTip);

  int Channel() const { return channel_; }
  TextDisplay* Name() const { return name_; }
  PushButton* Open() const { return open_; }
  PushButton* Close() const { return close_; }
  ToggleButton* PlayStop() const { return playStop_; }
  ToggleButton* Pause() const { return pause_; }
  ToggleButton* Sync() const { return sync_; }
  ToggleButton* Loop() const { return loop_; }
  PushButton* Properties() const { return properties_; }
  ImageSwitch* Led() const { return led_; }
  Surface* Image() const { return image_; }
  PositionView* View() const { return view_; }

 private:
  int channel_ = 0;
  char emptyName_[64] = {};    // "audio track N"
  char rightSuffix_[32] = {};  // appended to the name of a stereo file's right half
  TextDisplay* name_ = nullptr;
  PushButton* open_ = nullptr;
  PushButton* close_ = nullptr;
  ToggleButton* playStop_ = nullptr;
  ToggleButton* pause_ = nullptr;
  ToggleButton* sync_ = nullptr;
  ToggleButton* loop_ = nullptr;
  PushButton* properties_ = nullptr;
  ImageSwitch* led_ = nullptr;
  Surface* image_ = nullptr;
  PositionView* view_ = nullptr;
};

// A string of the module's string table (empty when missing).
void LoadText(HINSTANCE instance, UINT id, char* text, int size);
