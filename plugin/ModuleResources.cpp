#include "plugin/ModuleResources.h"

bool ModuleResources::Load(HINSTANCE module) {
  Release();
  // LoadCursorA/LoadIconA would hand out shared copies, which must not be destroyed.
  cursor_ = static_cast<HCURSOR>(
      LoadImageA(module, MAKEINTRESOURCEA(kCursorResource), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
  icon_ = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(kIconResource), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  return cursor_ && icon_;
}

bool ModuleResources::Release() {
  bool ok = true;
  if (cursor_ && !DestroyCursor(cursor_)) ok = false;
  if (icon_ && !DestroyIcon(icon_)) ok = false;
  cursor_ = nullptr;
  icon_ = nullptr;
  return ok;
}
