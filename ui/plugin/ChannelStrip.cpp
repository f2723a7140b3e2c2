#include "ui/plugin/ChannelStrip.h"

#include <cstdio>
#include <memory>
#include <new>

#include "core/ErrorCodes.h"
#include "resources/resource_ids.h"
#include "resources/window_layout.h"
#include "ui/framework/ImageSwitch.h"
#include "ui/plugin/PositionView.h"
#include "ui/framework/PushButton.h"
#include "ui/framework/Surface.h"
#include "ui/framework/TextDisplay.h"
#include "ui/framework/ToggleButton.h"
#include "ui/framework/UserInterface.h"
#include "ui/plugin/ImageWorker.h"
#include "util/PathText.h"

namespace {
RECT ToRect(const LayoutRect& place) { return {place.left, place.top, RightOf(place), BottomOf(place)}; }

// Adds a control made with new (std::nothrow) (null when that failed) to window
// with its geometry result, and keeps a pointer to it in *kept when it was added.
template <class T>
int AddKept(UserInterface& window, std::unique_ptr<T> control, int geometryResult, int id, const char* toolTip,
            T** kept) {
  T* raw = control.get();
  int code = ChannelStrip::Add(window, std::move(control), geometryResult, id, toolTip);
  *kept = code == 0 ? raw : nullptr;
  return code;
}

// A button or switch over frames of the skin at place; it tells the window about a
// click with the command code and itself.
template <class T>
int AddButton(UserInterface& window, HWND parent, const LayoutRect& place, const Surface* frames, int id,
              const char* toolTip, T** kept) {
  std::unique_ptr<T> button(new (std::nothrow) T(parent));
  if (button) button->SetCommand(kControlCommand);
  int geometry = button ? button->SetFrames(place.left, place.top, frames) : 0;
  return AddKept(window, std::move(button), geometry, id, toolTip, kept);
}
}  // namespace

// Tooltips and names come from the module's string table.
void LoadText(HINSTANCE instance, UINT id, char* text, int size) {
  if (size <= 0) return;
  text[0] = '\0';
  if (LoadStringA(instance, id, text, size) <= 0) text[0] = '\0';
}

// Drops: the strip under a client point.
int ChannelStrip::ChannelAt(int x, int y) {
  // The skin's plates, one per row; the sync switches form a column of their own.
  for (int c = 0; c < kNumChannels; ++c) {
    const RECT plate = ToRect(InRow(kStripPlate, c));
    const RECT sync = ToRect(SyncOf(c));
    const POINT p = {x, y};
    if (PtInRect(&plate, p) || PtInRect(&sync, p)) return c;
  }
  return -1;
}

int ChannelStrip::ChannelOfId(int id) {
  if (id < kIdOpen || id >= kIdPreRecorderToggle) return -1;
  return (id - kIdOpen) % kNumChannels;
}

// Every control of the strip goes through here, in creation order.
int ChannelStrip::Add(UserInterface& window, std::unique_ptr<Control> control, int geometryResult, int id,
                      const char* toolTip) {
  if (!control) return window.AddControl(nullptr);  // reports 19
  if (geometryResult != 0) return window.Fail(Error::ControlCreate);
  control->SetUserValue(id);
  if (toolTip) {
    control->SetToolTipText(toolTip);
  } else {
    control->SetHasToolTip(false);
  }
  return window.AddControl(std::move(control));
}

// The window's CreateControls, once per channel.
int ChannelStrip::Create(UserInterface& window, int c, const StripImages& images, Surface* image,
                         PlayPosition* position) {
  channel_ = c;
  image_ = image;
  HINSTANCE instance = window.Instance();
  HWND parent = window.Handle();
  char text[kTextSize], tip[kTextSize];
  LoadText(instance, IDS_AUDIO_TRACK, text, sizeof text);
  snprintf(emptyName_, sizeof emptyName_, "%s %i", text, c + 1);
  LoadText(instance, IDS_RIGHT_SUFFIX, rightSuffix_, sizeof rightSuffix_);

  auto tipOf = [&](UINT id) {
    LoadText(instance, id, tip, sizeof tip);
    return tip;
  };

  int code = AddButton(window, parent, InRow(kStripOpen, c), images.open, kIdOpen + c, tipOf(IDS_OPEN_FILE), &open_);
  if (code == 0)
    code = AddButton(window, parent, InRow(kStripClose, c), images.close, kIdClose + c, tipOf(IDS_CLOSE_FILE),
                     &close_);
  if (code == 0) {
    code = AddButton(window, parent, InRow(kStripPlay, c), images.playStop, kIdPlayStop + c,
                     tipOf(IDS_PLAY_STOP_TRACK), &playStop_);
    // Play/stop shows the channel's state only: it does not flip when clicked.
    if (playStop_) playStop_->SetToggles(false);
  }
  if (code == 0)
    code = AddButton(window, parent, InRow(kStripPause, c), images.pause, kIdPause + c, tipOf(IDS_PAUSE_TRACK),
                     &pause_);
  if (code == 0)
    code = AddButton(window, parent, InRow(kStripProps, c), images.properties, kIdProperties + c, nullptr,
                     &properties_);
  if (code == 0) {
    std::unique_ptr<TextDisplay> name(new (std::nothrow) TextDisplay(parent));
    int geometry = 0;
    if (name) {
      name->SetFormat(DT_LEFT, DT_VCENTER);
      name->SetText(emptyName_);
      const LayoutRect place = InRow(kStripName, c);
      geometry = name->SetBounds(place.left, place.top, place.width, place.height);
    }
    code = AddKept(window, std::move(name), geometry, kIdName + c, nullptr, &name_);
  }
  if (code == 0) {
    std::unique_ptr<PositionView> view(new (std::nothrow) PositionView(parent));
    int geometry = 0;
    if (view) {
      view->SetImage(image);
      view->BindPosition(position);
      const LayoutRect place = InRow(kStripView, c);
      geometry = view->Create(place.left, place.top, place.width, place.height);
    }
    code = AddKept(window, std::move(view), geometry, kIdView + c, nullptr, &view_);
  }
  if (code == 0)
    code = AddButton(window, parent, InRow(kStripLoop, c), images.loop, kIdLoop + c, tipOf(IDS_LOOP_FOREVER), &loop_);
  if (code == 0) {
    LoadText(instance, IDS_SYNCHRONIZE_TRACK, text, sizeof text);
    snprintf(tip, sizeof tip, "%s %i", text, c + 1);
    code = AddButton(window, parent, SyncOf(c), images.sync, kIdSync + c, tip, &sync_);
  }
  if (code == 0) {
    std::unique_ptr<ImageSwitch> led(new (std::nothrow) ImageSwitch(parent));
    const LayoutRect place = InRow(kStripLed, c);
    int geometry = led ? led->BindSurface(place.left, place.top, images.ledLit, images.ledUnlit) : 0;
    code = AddKept(window, std::move(led), geometry, kIdLed + c, nullptr, &led_);
  }
  return code;
}

// The window's OnDestroy, before it frees the controls.
void ChannelStrip::Forget() {
  name_ = nullptr;
  open_ = close_ = properties_ = nullptr;
  playStop_ = pause_ = sync_ = loop_ = nullptr;
  led_ = nullptr;
  view_ = nullptr;
}

// On the window's thread, after the channel was loaded or closed.
void ChannelStrip::ShowLoadState(const StripLoadState& state) {
  if (!Created()) return;
  const bool partner = state.loaded && !state.owner;
  open_->SetEnabled(!state.loaded || state.owner);
  close_->SetEnabled(state.loaded && state.owner);
  playStop_->SetEnabled(state.loaded && state.owner);
  pause_->SetEnabled(false);
  Control* hiddenForPartner[] = {open_, close_, playStop_, pause_, sync_, loop_, properties_};
  for (Control* control : hiddenForPartner) control->SetVisible(!partner);
  // The switches show the channel's flags, also in a window made again later.
  loop_->SetOn(state.loop);
  sync_->SetOn(state.sync);

  char name[kTextSize];
  if (!state.loaded) {
    if (image_) image_->FillSurface(kEmptyStripColour);
    lstrcpynA(name, emptyName_, sizeof name);
  } else {
    snprintf(name, sizeof name, "%s%s", state.fileName, partner ? rightSuffix_ : "");
  }
  // "shown|tooltip": the part after the first bar becomes the display's tooltip.
  char shown[kTextSize], tip[kTextSize];
  if (SplitAtChar(shown, tip, name, '|', sizeof shown, sizeof tip)) {
    name_->SetText(shown);
    name_->SetToolTipText(tip);
  } else {
    name_->SetText(shown);
  }
}

// On the window's thread, after the channel's state changed.
void ChannelStrip::ShowPlayState(int32_t state) {
  if (!Created()) return;
  const bool running = state == kPlaying || state == kPaused || state == kWaitingForSync;
  playStop_->SetOn(running);
  led_->SetOn(running);
  pause_->SetOn(state == kPaused);
  pause_->SetEnabled(state != kStopped);
}
