// The cursor and the large icon of the plug-in's module: loaded at attach for
// the main window's class and destroyed at detach. They are loaded as private
// copies (not shared), so destroying them is legal and frees them for real.
#pragma once
#include <windows.h>

constexpr int kCursorResource = 101;
constexpr int kIconResource = 109;

class ModuleResources {
 public:
  ModuleResources() = default;
  ~ModuleResources() { Release(); }
  ModuleResources(const ModuleResources&) = delete;
  ModuleResources& operator=(const ModuleResources&) = delete;

  // Loads cursor 101 and icon 109 of module; true when both loaded.
  bool Load(HINSTANCE module);
  // Destroys whatever is loaded; true when every destroy succeeded.
  bool Release();

  HCURSOR Cursor() const { return cursor_; }
  HICON Icon() const { return icon_; }

 private:
  HCURSOR cursor_ = nullptr;
  HICON icon_ = nullptr;
};
