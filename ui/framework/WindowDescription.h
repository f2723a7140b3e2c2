// How a skinned window is to be made: class look, title, rectangle, outline.
// Filled by the creator and copied whole by Create and CreateOnOwnThread.
#pragma once
#include <windows.h>

#include <cstdint>

struct WindowDescription {
  HICON icon = nullptr;       // hIcon of the window class
  HICON smallIcon = nullptr;  // hIconSm of the window class
  HCURSOR cursor = nullptr;   // hCursor of the window class
  char className[32] = {};
  char title[128] = {};
  int32_t x = 0;  // window rectangle in screen pixels; width and height are
  int32_t y = 0;  // also the size of the off-screen bitmap
  int32_t width = 0;
  int32_t height = 0;
  uint8_t centre = 0;      // centre on the screen after creation
  HRGN region = nullptr;   // window outline, or null; belongs to the window once created
  uint8_t taskbar = 0;     // taskbar button (app window) or tool window

  void SetClassName(const char* name) { lstrcpynA(className, name ? name : "", sizeof className); }
  void SetTitle(const char* text) { lstrcpynA(title, text ? text : "", sizeof title); }
};
