// "Working, please wait...": a caption over a progress bar (dialog template 117),
// shown modally by the interface thread while a worker thread does the job and
// reports progress. Only the worker can close it: Esc and the close box are ignored
// until Finish.
//
//   ProgressDialog progress;  progress.SetInstance(module);  progress.SetCaption("...");
//   start the worker;  progress.RunModal();   // worker: SetProgress(n) ... Finish()
#pragma once
#include <cstdint>

#include "ui/framework/Dialog.h"

constexpr UINT kProgressDialogTemplate = 117;
constexpr int kProgressBarItem = 1024;
constexpr int kProgressCaptionItem = 1025;

class ProgressDialog : public Dialog {
 public:
  ProgressDialog();

  void OnInitDialog() override;
  bool CanClose() override { return closeAllowed_ != 0; }

  void SetCaption(const char* caption);
  const char* Caption() const { return caption_; }
  // From any thread: advances the bar to value percent (0..100); a value below the
  // previous one restarts the count from 0 and advances by the new value.
  void SetProgress(int32_t value);
  // From the worker when the job is done: allows closing and closes the dialog,
  // also when it has not appeared yet (it then closes as soon as it does).
  void Finish();
  void AllowClose() { InterlockedExchange(&closeAllowed_, 1); }
  int32_t LastValue() const { return lastValue_; }

 private:
  volatile LONG closeAllowed_ = 0;
  volatile LONG lastValue_ = 0;
  char caption_[256];
};
