#include "wavedata/Resource.h"

#include <windows.h>

#include "core/ErrorCodes.h"
#include "util/PathText.h"

Resource::Resource() {
  classId_ = kResource;
  name_[0] = '\0';
}

Resource::~Resource() = default;

// Errors of an open file are shown under the file's name: the user knows which file failed.
int32_t Resource::GetTypeName(char* text, int size) {
  if (text && size > 0 && open_ && name_[0] != '\0') {
    FileNameOfPath(name_, text, size);
    return classId_;
  }
  return Object::GetTypeName(text, size);
}

// The bare resource has nothing to open.
bool Resource::OpenResource(const char* name, uint32_t mode) { return true; }

// The bare resource has nothing to close.
bool Resource::CloseResource() { return true; }

// An open resource is closed first, so one object never holds two handles.
int Resource::Open(const char* name, uint32_t mode) {
  if (open_) {
    int code = Close();
    if (code != 0) return code;
  }
  // A name the field cannot hold whole could not be reported or reopened faithfully.
  if (!name || name[0] == '\0' || lstrlenA(name) >= kResourceNameSize) return Fail(Error::FileOpen);
  if (!OpenResource(name, mode)) return Fail(Error::FileOpen);
  open_ = true;
  lstrcpynA(name_, name, sizeof name_);
  lastError_ = 0;
  return 0;
}

// A refused close leaves the resource open, so the caller can report it and try again.
int Resource::Close() {
  if (!open_) return 0;
  if (!CloseResource()) return Fail(Error::FileClose);
  open_ = false;
  name_[0] = '\0';
  lastError_ = 0;
  return 0;
}
