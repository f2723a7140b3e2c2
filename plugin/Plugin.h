// The one plug-in object of the process: error display, help, the host's
// callbacks, and the main window object that carries the four channels.
#pragma once
#include <windows.h>

#include "plugin/Application.h"
#include "core/HostTypes.h"

class MainWindow;

class Plugin : public Application {
 public:
  explicit Plugin(HINSTANCE instance);
  ~Plugin() override;

  // Codes above 100 in a plain error box; lower codes through the shared
  // library's texts and display (or a plain box when it is not bound).
  void ShowError(int code, const char* text) override;
  // Opens the help page "sondrel.html".
  void ShowHelp(intptr_t a, intptr_t b) override;

  // Attach: binds the shared library, creates the main window object with its
  // four channels, names the settings file. Always true.
  virtual bool Initialize();
  // Detach: deletes the main window object and unbinds the shared library.
  virtual bool Terminate();
  // What went wrong during the attach, shown once at the host's first call that is
  // not a constant: the missing shared library, channel locks that do not exist.
  void ShowAttachNotices();

  virtual void SetEventCallback(EventCallback callback);
  virtual void SetInternalCallback(InternalCallback callback);

  MainWindow* Main() const { return mainWindow_; }
  HINSTANCE Instance() const { return instance_; }

 private:
  HINSTANCE instance_;
  EventCallback eventCallback_ = nullptr;
  InternalCallback internalCallback_ = nullptr;
  MainWindow* mainWindow_ = nullptr;
};

extern const char* const kHelpPage;
