#include "ui/framework/ProgressDialog.h"

#include <commctrl.h>

ProgressDialog::ProgressDialog() : Dialog(kProgressDialogTemplate) { caption_[0] = '\0'; }

void ProgressDialog::SetCaption(const char* caption) { lstrcpynA(caption_, caption ? caption : "", sizeof caption_); }

void ProgressDialog::OnInitDialog() {
  SetDlgItemTextA(hwnd_, kProgressCaptionItem, caption_);
  HWND bar = GetDlgItem(hwnd_, kProgressBarItem);
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  // Progress reported before the dialog appeared is shown at once.
  SendMessageA(bar, PBM_SETPOS, lastValue_, 0);
  // A job that finished before the dialog appeared could not close it: do it now.
  // (Finish sets the flag before it reads the handle; here the handle is stored first.)
  MemoryBarrier();
  if (closeAllowed_) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
}

void ProgressDialog::SetProgress(int32_t value) {
  if (value < 0) value = 0;
  if (value > 100) value = 100;
  LONG last = lastValue_;
  if (value < last) last = 0;
  InterlockedExchange(&lastValue_, value);
  HWND hwnd = hwnd_;
  if (!hwnd) return;
  HWND bar = GetDlgItem(hwnd, kProgressBarItem);
  SendMessageA(bar, PBM_SETSTEP, value - last, 0);
  SendMessageA(bar, PBM_STEPIT, 0, 0);
}

void ProgressDialog::Finish() {
  AllowClose();
  MemoryBarrier();
  HWND hwnd = hwnd_;
  if (hwnd) SendMessageA(hwnd, WM_CLOSE, 0, 0);
}
