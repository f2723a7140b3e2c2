#include "util/PathText.h"

#include <cstdio>
#include <cstring>

namespace {
// Copies at most length characters of text into out (size bytes), always ended.
void CopyPart(char* out, int size, const char* text, size_t length) {
  if (!out || size <= 0) return;
  if (length > static_cast<size_t>(size - 1)) length = static_cast<size_t>(size - 1);
  memcpy(out, text, length);
  out[length] = '\0';
}

const char* LastBackslash(const char* path) { return strrchr(path, '\\'); }
}  // namespace

// Called for the properties dialog's playing time.
char* FormatDuration(uint32_t ms, char* out, int size) {
  if (!out || size <= 0) return out;
  uint32_t hours = ms / 3600000u;
  uint32_t rest = ms - hours * 3600000u;
  uint32_t minutes = rest / 60000u;
  rest -= minutes * 60000u;
  uint32_t seconds = rest / 1000u;
  snprintf(out, size, "%02u:%02u:%02u", hours, minutes, seconds);
  return out;
}

// Called to split settings lines at "=" and display texts at "|".
bool SplitAtChar(char* left, char* right, const char* text, char separator, int leftSize, int rightSize) {
  if (!text) text = "";
  const char* at = separator ? strchr(text, separator) : nullptr;
  if (!at) {
    CopyPart(left, leftSize, text, strlen(text));
    return false;
  }
  CopyPart(left, leftSize, text, static_cast<size_t>(at - text));
  CopyPart(right, rightSize, at + 1, strlen(at + 1));
  return true;
}

// Called to show a file under its name and to report a file's errors.
char* FileNameOfPath(const char* path, char* name, int size) {
  if (!path) path = "";
  const char* slash = LastBackslash(path);
  const char* start = slash ? slash + 1 : path;
  CopyPart(name, size, start, strlen(start));
  return name;
}

// Called to find the folder that holds a file.
void DirectoryOfPath(const char* path, char* directory, int size) {
  if (!path) path = "";
  const char* slash = LastBackslash(path);
  size_t length = slash ? static_cast<size_t>(slash - path) : 0;
  CopyPart(directory, size, path, length);
}

// Names a file's companion (the picture cache beside a wave file).
bool ReplaceExtension(const char* path, const char* extension, char* out, int size) {
  if (!out || size <= 0) return false;
  out[0] = '\0';
  if (!path) path = "";
  if (!extension) extension = "";
  // The file name starts after the last folder separator or drive colon.
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  if (*name == '\0') return false;  // no file name to go with
  const char* dot = strrchr(name, '.');
  size_t stem = dot ? static_cast<size_t>(dot - path) : strlen(path);
  size_t length = strlen(extension);
  if (stem + 1 + length + 1 > static_cast<size_t>(size)) return false;
  memcpy(out, path, stem);
  out[stem] = '.';
  memcpy(out + stem + 1, extension, length + 1);
  return true;
}

// Called to test for a file (and its time) before using it.
bool FileExists(const char* path, WIN32_FIND_DATAA* found) {
  if (!path || path[0] == '\0' || strpbrk(path, "*?")) return false;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(path, &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  if (found) *found = data;
  return true;
}

bool SameFile(const char* a, const char* b) {
  HANDLE files[2];
  const char* paths[2] = {a, b};
  BY_HANDLE_FILE_INFORMATION info[2];
  bool known = true;
  for (int i = 0; i < 2; ++i) {
    files[i] = CreateFileA(paths[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    known = known && files[i] != INVALID_HANDLE_VALUE && GetFileInformationByHandle(files[i], &info[i]);
  }
  for (HANDLE file : files)
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (known)
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
  char full[2][MAX_PATH];
  for (int i = 0; i < 2; ++i) {
    DWORD n = GetFullPathNameA(paths[i], MAX_PATH, full[i], nullptr);
    if (n == 0 || n >= MAX_PATH) return false;
  }
  return lstrcmpiA(full[0], full[1]) == 0;
}
