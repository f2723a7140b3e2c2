#include "ui/plugin/PreRecorderConfigDialog.h"

#include "core/ErrorCodes.h"
#include "core/List.h"
#include "recording/WaveInput.h"
#include "resources/resource_ids.h"
#include "ui/plugin/ChannelStrip.h"
#include "util/VolumeControl.h"

namespace {
// The volume button's tooltip is registered under this id.
constexpr UINT_PTR kVolumeToolTip = IDC_CONFIG_VOLUME;
// The entry of a device that has no capability record (the list is shorter than the count).
const char* const kUnknownDevice = "(unknown device)";
}  // namespace

PreRecorderConfigDialog::PreRecorderConfigDialog(WaveInput* recorder)
    : Dialog(IDD_PRERECORDER_CONFIG), recorder_(recorder) {}

// The icon lives as long as the button that shows it.
PreRecorderConfigDialog::~PreRecorderConfigDialog() {
  if (icon_) DestroyIcon(icon_);
}

void PreRecorderConfigDialog::OnInitDialog() {
  icon_ = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_VOLUME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  HWND volume = GetDlgItem(hwnd_, IDC_CONFIG_VOLUME);
  if (icon_) SendMessageA(volume, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon_));

  LoadText(instance_, IDS_EXECUTE_VOLUME_CONTROL, toolTip_, sizeof toolTip_);
  if (CreateToolTipWindow()) {
    RECT rect;
    GetWindowRect(volume, &rect);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rect), 2);
    AddToolTip(rect, kVolumeToolTip, toolTip_);
  }

  // One entry per device index, so that an entry's position is its device's index.
  HWND combo = GetDlgItem(hwnd_, IDC_CONFIG_DEVICE);
  const int32_t count = recorder_ ? recorder_->DeviceCount() : 0;
  List* devices = recorder_ ? recorder_->Devices() : nullptr;
  for (int32_t i = 0; i < count; ++i) {
    const WaveDeviceCaps* caps = devices ? static_cast<const WaveDeviceCaps*>(devices->GetAt(i)) : nullptr;
    if (!caps && devices) devices->ReportError(Error::IndexRange);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caps ? caps->name : kUnknownDevice));
  }
  deviceIndex_ = recorder_ ? recorder_->DeviceNumber() : -1;
  if (count > 0) SendMessageA(combo, CB_SETCURSEL, (WPARAM)deviceIndex_, 0);
  stereo_ = recorder_ && recorder_->Format().nChannels == 2;
  CheckRadioButton(hwnd_, IDC_CONFIG_MONO, IDC_CONFIG_STEREO, stereo_ ? IDC_CONFIG_STEREO : IDC_CONFIG_MONO);
  changed_ = false;
}

bool PreRecorderConfigDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) != IDC_CONFIG_VOLUME || HIWORD(wParam) != BN_CLICKED) return false;
  LaunchVolumeControl();
  return true;
}

bool PreRecorderConfigDialog::CanClose() {
  const int32_t selection = (int32_t)SendDlgItemMessageA(hwnd_, IDC_CONFIG_DEVICE, CB_GETCURSEL, 0, 0);
  const bool stereo = IsDlgButtonChecked(hwnd_, IDC_CONFIG_STEREO) == BST_CHECKED;
  changed_ = selection != deviceIndex_ || stereo != stereo_;
  deviceIndex_ = selection;  // CB_ERR is -1: no device chosen
  stereo_ = stereo;
  return true;
}
