#include "ui/plugin/MainWindow.h"

#include "plugin/ErrorCodes.h"

MainWindow::MainWindow() : engine_(this) { classId_ = kUserInterface; }

MainWindow::~MainWindow() = default;

int MainWindow::CreateUserInterface(HINSTANCE instance, HICON icon, HCURSOR cursor, int showCommand) {
  tearDown_ = false;
  // No window can be made until the window framework lands: say so, as a failed creation does.
  return Fail(Error::WindowCreate);
}

int MainWindow::DestroyUserInterface() {
  tearDown_ = true;
  if (!hwnd_) return 0;
  SendMessageA(hwnd_, WM_CLOSE, 0, 0);
  return 0;
}

void MainWindow::Switch(bool on) {
  if (hwnd_) ShowWindow(hwnd_, on ? SW_SHOW : SW_HIDE);
}
