// "Configure Pre-Recorder" (dialog template 136): the recording device, mono or
// stereo, and a button that starts the system's volume control. The pre-recorder
// window runs it modally for a right-click while not recording and applies the
// choice only for "&Apply" with a change.
#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/framework/Dialog.h"

class WaveInput;

class PreRecorderConfigDialog : public Dialog {
 public:
  // The device object whose list, current device and format the dialog shows.
  explicit PreRecorderConfigDialog(WaveInput* recorder);
  ~PreRecorderConfigDialog() override;

  void OnInitDialog() override;
  // The volume button starts the volume control; the dialog stays open.
  bool OnCommand(WPARAM wParam, LPARAM lParam) override;
  // The dialog ends ("&Apply", "&Close", Escape or the close box): the choice is read.
  bool CanClose() override;

  // Set when the dialog ended with a device or channel choice other than at its start.
  bool Changed() const { return changed_; }
  // The chosen device's index (-1: none chosen) and whether stereo was chosen.
  int32_t DeviceIndex() const { return deviceIndex_; }
  bool Stereo() const { return stereo_; }

 private:
  WaveInput* recorder_;
  bool changed_ = false;
  int32_t deviceIndex_ = -1;
  bool stereo_ = false;
  HICON icon_ = nullptr;
  char toolTip_[256] = {};
};
