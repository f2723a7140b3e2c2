// What every window, dialog and control has: the module that holds its
// resources and window class, and the window it belongs to.
#pragma once
#include <windows.h>

#include "core/Object.h"

class WindowedObject : public Object {
 public:
  // The instance starts null: the creator sets the module that owns the resources
  // (the plug-in passes its own module handle, a test its executable's).
  WindowedObject() : parent_(GetDesktopWindow()) { classId_ = kWindowed; }

  HINSTANCE Instance() const { return instance_; }
  void SetInstance(HINSTANCE instance) { instance_ = instance; }
  // The desktop for windows; for a control, the window that owns it.
  HWND Parent() const { return parent_; }
  void SetParent(HWND parent) { parent_ = parent; }

 protected:
  HINSTANCE instance_ = nullptr;
  HWND parent_;
};
