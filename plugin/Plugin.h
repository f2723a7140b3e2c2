// The one plug-in object of the process: error display, help, the host's
// callbacks, and the main window object that carries the four channels.
#pragma once
#include <windows.h>

#include <memory>

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

  // Binds the shared library, creates the main window object with its four
  // channels, names the settings file. Runs under the loader lock (see DllMain):
  // it starts no thread and makes no window. Always true: a plug-in without its
  // channels still loads and answers as an empty one.
  virtual bool Initialize();
  // Deletes the main window object and unbinds the shared library, in this order:
  // the window object may still report errors through it.
  virtual bool Terminate();
  // What went wrong during the attach, shown once at the host's first call that is
  // not a constant: the missing shared library, channel locks that do not exist.
  void ShowAttachNotices();

  virtual void SetEventCallback(EventCallback callback);
  virtual void SetInternalCallback(InternalCallback callback);

  // The main window object, when it has its four channel records; without them
  // (no memory at attach) null, and the plug-in answers as an empty one would.
  MainWindow* Main() const { return withChannels_ ? mainWindow_.get() : nullptr; }
  HINSTANCE Instance() const { return instance_; }

 private:
  HINSTANCE instance_;
  EventCallback eventCallback_ = nullptr;
  InternalCallback internalCallback_ = nullptr;
  std::unique_ptr<MainWindow> mainWindow_;
  bool withChannels_ = false;
};

extern const char* const kHelpPage;
