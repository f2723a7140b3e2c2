// Base of the wrappers of the system's common dialogs: a title and the three
// steps every such dialog goes through.
#pragma once
#include "ui/framework/WindowedObject.h"

class CommonDialog : public WindowedObject {
 public:
  // parent owns the dialog while it is shown.
  explicit CommonDialog(HWND parent) {
    parent_ = parent;
    title_[0] = '\0';
  }

  // Resets the dialog's settings to their defaults.
  virtual void InitFileDialog() { title_[0] = '\0'; }
  // Fills the platform's record before every display.
  virtual void FillOpenFileName() = 0;
  // Shows the dialog: true when the user chose something.
  virtual bool ShowFileDialog() {
    FillOpenFileName();
    return true;
  }

  void SetTitle(const char* title) { lstrcpynA(title_, title ? title : "", sizeof title_); }
  const char* Title() const { return title_; }

 protected:
  char title_[128];
};
