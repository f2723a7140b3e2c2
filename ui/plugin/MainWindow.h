// The plug-in's main window object: the home of the channel engine and, once
// the host asks for it, the window with the four channel strips.
#pragma once
#include <windows.h>

#include "plugin/ChannelEngine.h"
#include "plugin/Object.h"

class MainWindow : public Object {
 public:
  MainWindow();
  ~MainWindow() override;

  // All four channel locks exist.
  bool Valid() const { return engine_.Valid(); }
  ChannelEngine& Engine() { return engine_; }

  void SetTearDown(bool tearDown) { tearDown_ = tearDown; }
  bool TearDown() const { return tearDown_; }

  // createUserInterface: 0 when the window was created, else an error code.
  int CreateUserInterface(HINSTANCE instance, HICON icon, HCURSOR cursor, int showCommand);
  // destroyUserInterface: closes the window and unregisters its class.
  int DestroyUserInterface();
  // onPluginSwitch: show (nonzero) or hide the window, when there is one.
  void Switch(bool on);
  HWND Handle() const { return hwnd_; }

 private:
  ChannelEngine engine_;
  bool tearDown_ = false;
  HWND hwnd_ = nullptr;
};
