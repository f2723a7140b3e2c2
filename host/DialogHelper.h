// A helper thread for one dialog: it watches for this process's dialog with a
// given title and acts on it (answers it, reads it, closes it) while the
// interface thread sits in the dialog's modal loop. A dialog that does not go
// away after the action (a file dialog complaining about the name) is
// cancelled, so the interface thread always comes back.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "host/JsonLog.h"

namespace hostkit {

class DialogHelper {
 public:
  // Runs on the helper thread with the dialog up; false with *note when it could not act.
  using Action = std::function<bool(HWND dialog, std::string* note)>;
  enum Outcome {
    kNotSeen,  // no such dialog came
    kDone,     // the action ran and the dialog closed
    kFailed,   // the action could not act; the dialog was cancelled
    kStuck,    // the dialog stayed up after the action; it and its boxes were cancelled
  };

  DialogHelper(const std::string& title, Action action);
  ~DialogHelper();
  DialogHelper(const DialogHelper&) = delete;
  DialogHelper& operator=(const DialogHelper&) = delete;

  // Starts watching; false when the thread cannot be created.
  bool Start();
  // Called once the input that could show the dialog has been handled: stops
  // watching, waits for the helper (dispatching this thread's messages) and
  // says what happened; *note gets the action's or the recovery's words.
  Outcome Finish(std::string* note);

 private:
  static DWORD WINAPI Main(void* self);
  void Run();
  bool WaitGone(HWND dialog, DWORD timeoutMs);
  void Cancel(HWND dialog);

  std::string title_;
  Action action_;
  HANDLE thread_ = nullptr;
  volatile LONG stop_ = 0;
  Outcome outcome_ = kNotSeen;
  std::string note_;
};

// Adds the texts of a dialog's controls that have identifiers, as "id":"text".
void AddDialogTexts(HWND dialog, JsonObject* object);

}  // namespace hostkit
