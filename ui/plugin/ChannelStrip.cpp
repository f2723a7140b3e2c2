#include "ui/plugin/ChannelStrip.h"

#include <cstdio>
#include <new>

#include "core/ErrorCodes.h"
#include "resources/resource_ids.h"
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
// Channel rows are 57 pixels apart; the sync switches form a column of their own.
constexpr int kRowPitch = 57;
constexpr int kSyncPitch = 14;
constexpr int kNameWidth = 226;
constexpr int kNameHeight = 14;
}  // namespace

// Tooltips and names come from the module's string table.
void LoadText(HINSTANCE instance, UINT id, char* text, int size) {
  if (size <= 0) return;
  text[0] = '\0';
  if (LoadStringA(instance, id, text, size) <= 0) text[0] = '\0';
}

// The window's OnCommand: which strip a clicked control belongs to.
int ChannelStrip::ChannelAt(int x, int y) {
  // The skin's plates: one per row, 57 pixels apart; the sync switches form a column.
  for (int c = 0; c < kNumChannels; ++c) {
    const RECT plate = {8, 27 + 57 * c, 424, 82 + 57 * c};
    const RECT sync = {445, 66 + 14 * c, 462, 74 + 14 * c};
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
int ChannelStrip::Add(UserInterface& window, Control* control, int geometryResult, int id, const char* toolTip) {
  if (!control) return window.AddControl(nullptr);  // reports 19
  if (geometryResult != 0) {
    delete control;
    return window.Fail(Error::ControlCreate);
  }
  control->SetUserValue(id);
  if (toolTip) {
    control->SetToolTipText(toolTip);
  } else {
    control->SetHasToolTip(false);
  }
  return window.AddControl(control);
}

// The window's CreateControls, once per channel.
int ChannelStrip::Create(UserInterface& window, int c, const StripImages& images, Surface* image,
                         PlayPosition* position) {
  channel_ = c;
  image_ = image;
  HINSTANCE instance = window.Instance();
  HWND parent = window.Handle();
  const int row = kRowPitch * c;
  char text[kTextSize], tip[kTextSize];
  LoadText(instance, IDS_AUDIO_TRACK, text, sizeof text);
  snprintf(emptyName_, sizeof emptyName_, "%s %i", text, c + 1);
  LoadText(instance, IDS_RIGHT_SUFFIX, rightSuffix_, sizeof rightSuffix_);

  auto tipOf = [&](UINT id) {
    LoadText(instance, id, tip, sizeof tip);
    return tip;
  };

  int code = AddButton(window, open_ = new (std::nothrow) PushButton(parent), 46, 53 + row, images.open, kIdOpen + c,
                       tipOf(IDS_OPEN_FILE));
  if (code == 0)
    code = AddButton(window, close_ = new (std::nothrow) PushButton(parent), 24, 53 + row, images.close,
                     kIdClose + c, tipOf(IDS_CLOSE_FILE));
  if (code == 0) {
    // Play/stop shows the channel's state only: it does not flip when clicked.
    playStop_ = new (std::nothrow) ToggleButton(parent);
    if (playStop_) playStop_->SetToggles(false);
    code = AddButton(window, playStop_, 32, 32 + row, images.playStop, kIdPlayStop + c, tipOf(IDS_PLAY_STOP_TRACK));
  }
  if (code == 0)
    code = AddButton(window, pause_ = new (std::nothrow) ToggleButton(parent), 55, 32 + row, images.pause,
                     kIdPause + c, tipOf(IDS_PAUSE_TRACK));
  if (code == 0)
    code = AddButton(window, properties_ = new (std::nothrow) PushButton(parent), 80, 62 + row, images.properties,
                     kIdProperties + c, nullptr);
  if (code == 0) {
    name_ = new (std::nothrow) TextDisplay(parent);
    if (name_) {
      name_->SetFormat(DT_LEFT, DT_VCENTER);
      name_->SetText(emptyName_);
    }
    code = Add(window, name_, name_ ? name_->SetBounds(114, 62 + row, kNameWidth, kNameHeight) : 0, kIdName + c,
               nullptr);
  }
  if (code == 0) {
    view_ = new (std::nothrow) PositionView(parent);
    if (view_) {
      view_->SetImage(image);
      view_->BindPosition(position);
    }
    code = Add(window, view_, view_ ? view_->Create(80, 32 + row, kStripImageWidth, kStripImageHeight) : 0, kIdView + c, nullptr);
  }
  if (code == 0)
    code = AddButton(window, loop_ = new (std::nothrow) ToggleButton(parent), 371, 63 + row, images.loop,
                     kIdLoop + c, tipOf(IDS_LOOP_FOREVER));
  if (code == 0) {
    LoadText(instance, IDS_SYNCHRONIZE_TRACK, text, sizeof text);
    snprintf(tip, sizeof tip, "%s %i", text, c + 1);
    code = AddButton(window, sync_ = new (std::nothrow) ToggleButton(parent), 445, 66 + kSyncPitch * c, images.sync,
                     kIdSync + c, tip);
  }
  if (code == 0) {
    led_ = new (std::nothrow) ImageSwitch(parent);
    code = Add(window, led_, led_ ? led_->BindSurface(400, 35 + row, images.ledLit, images.ledUnlit) : 0, kIdLed + c,
               nullptr);
  }
  return code;
}

// Buttons and switches tell the window about a click with the command code and themselves.
int ChannelStrip::AddButton(UserInterface& window, PushButton* button, int x, int y, const Surface* frames, int id,
                            const char* toolTip) {
  if (button) button->SetCommand(kControlCommand);
  return Add(window, button, button ? button->SetFrames(x, y, frames) : 0, id, toolTip);
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
