#include "ui/plugin/ChannelStrip.h"

#include <cstdio>
#include <new>

#include "plugin/ErrorCodes.h"
#include "resources/resource_ids.h"
#include "ui/framework/ImageSwitch.h"
#include "ui/framework/PositionView.h"
#include "ui/framework/PushButton.h"
#include "ui/framework/Surface.h"
#include "ui/framework/TextDisplay.h"
#include "ui/framework/ToggleButton.h"
#include "ui/framework/UserInterface.h"
#include "util/PathText.h"

namespace {
// Channel rows are 57 pixels apart; the sync switches form a column of their own.
constexpr int kRowPitch = 57;
constexpr int kSyncPitch = 14;
constexpr int kViewWidth = 315;
constexpr int kViewHeight = 26;
constexpr int kNameWidth = 226;
constexpr int kNameHeight = 14;
}  // namespace

void LoadText(HINSTANCE instance, UINT id, char* text, int size) {
  if (size <= 0) return;
  text[0] = '\0';
  if (LoadStringA(instance, id, text, size) <= 0) text[0] = '\0';
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

  // Buttons and switches tell the window about a click with the command code and themselves.
  auto button = [&](auto* b) {
    if (b) b->SetNotify(WM_COMMAND, kControlCommand, reinterpret_cast<LPARAM>(b));
    return b;
  };
  int code;

  open_ = button(new (std::nothrow) PushButton(parent));
  LoadText(instance, IDS_OPEN_FILE, tip, sizeof tip);
  if ((code = Add(window, open_, open_ ? open_->SetFrames(46, 53 + row, images.open) : 0, kIdOpen + c, tip)))
    return code;

  close_ = button(new (std::nothrow) PushButton(parent));
  LoadText(instance, IDS_CLOSE_FILE, tip, sizeof tip);
  if ((code = Add(window, close_, close_ ? close_->SetFrames(24, 53 + row, images.close) : 0, kIdClose + c, tip)))
    return code;

  // Play/stop shows the channel's state only: it does not flip when clicked.
  playStop_ = button(new (std::nothrow) ToggleButton(parent));
  if (playStop_) playStop_->SetToggles(false);
  LoadText(instance, IDS_PLAY_STOP_TRACK, tip, sizeof tip);
  if ((code = Add(window, playStop_, playStop_ ? playStop_->SetFrames(32, 32 + row, images.playStop) : 0,
                  kIdPlayStop + c, tip)))
    return code;

  pause_ = button(new (std::nothrow) ToggleButton(parent));
  LoadText(instance, IDS_PAUSE_TRACK, tip, sizeof tip);
  if ((code = Add(window, pause_, pause_ ? pause_->SetFrames(55, 32 + row, images.pause) : 0, kIdPause + c, tip)))
    return code;

  properties_ = button(new (std::nothrow) PushButton(parent));
  if ((code = Add(window, properties_, properties_ ? properties_->SetFrames(80, 62 + row, images.properties) : 0,
                  kIdProperties + c, nullptr)))
    return code;

  name_ = new (std::nothrow) TextDisplay(parent);
  if (name_) {
    name_->SetFormat(DT_LEFT, DT_VCENTER);
    name_->SetText(emptyName_);
  }
  if ((code = Add(window, name_, name_ ? name_->SetBounds(114, 62 + row, kNameWidth, kNameHeight) : 0, kIdName + c,
                  nullptr)))
    return code;

  view_ = new (std::nothrow) PositionView(parent);
  if (view_) {
    view_->SetImage(image);
    view_->BindPosition(position);
  }
  if ((code = Add(window, view_, view_ ? view_->Create(80, 32 + row, kViewWidth, kViewHeight) : 0, kIdView + c,
                  nullptr)))
    return code;

  loop_ = button(new (std::nothrow) ToggleButton(parent));
  LoadText(instance, IDS_LOOP_FOREVER, tip, sizeof tip);
  if ((code = Add(window, loop_, loop_ ? loop_->SetFrames(371, 63 + row, images.loop) : 0, kIdLoop + c, tip)))
    return code;

  sync_ = button(new (std::nothrow) ToggleButton(parent));
  LoadText(instance, IDS_SYNCHRONIZE_TRACK, text, sizeof text);
  snprintf(tip, sizeof tip, "%s %i", text, c + 1);
  if ((code = Add(window, sync_, sync_ ? sync_->SetFrames(445, 66 + kSyncPitch * c, images.sync) : 0, kIdSync + c,
                  tip)))
    return code;

  led_ = new (std::nothrow) ImageSwitch(parent);
  if ((code = Add(window, led_, led_ ? led_->BindSurface(400, 35 + row, images.ledLit, images.ledUnlit) : 0,
                  kIdLed + c, nullptr)))
    return code;
  return 0;
}

void ChannelStrip::Forget() {
  name_ = nullptr;
  open_ = close_ = properties_ = nullptr;
  playStop_ = pause_ = sync_ = loop_ = nullptr;
  led_ = nullptr;
  view_ = nullptr;
}

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

void ChannelStrip::ShowPlayState(int32_t state) {
  if (!Created()) return;
  const bool running = state == kPlaying || state == kPaused || state == kWaitingForSync;
  playStop_->SetOn(running);
  led_->SetOn(running);
  pause_->SetOn(state == kPaused);
  pause_->SetEnabled(state != kStopped);
}
