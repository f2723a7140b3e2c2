#include "util/ModulePath.h"

#include <shellapi.h>

#include <cstdio>

bool PathBesideModule(HMODULE module, const char* name, char* out, int size) {
  if (!out || size <= 0) return false;
  out[0] = '\0';
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(module, path, sizeof path);
  if (n == 0 || n >= sizeof path) return false;
  char* slash = nullptr;
  for (char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') slash = p;
  if (slash) slash[1] = '\0';
  else path[0] = '\0';
  int written = snprintf(out, size, "%s%s", path, name ? name : "");
  return written >= 0 && written < size;
}

bool OpenPageBesideModule(HMODULE module, const char* page) {
  char path[MAX_PATH];
  if (!page || !PathBesideModule(module, page, path, sizeof path)) return false;
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  return (INT_PTR)ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL) > 32;
}

HMODULE ModuleOfAddress(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<const char*>(address), &module);
  return module;
}
