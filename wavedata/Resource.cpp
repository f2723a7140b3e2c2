#include "wavedata/Resource.h"

#include <windows.h>

#include "core/ErrorCodes.h"
#include "util/PathText.h"

Resource::Resource() {
  classId_ = kResource;
  name_[0] = '\0';
}

Resource::~Resource() = default;

// Called by ReportError: errors of an open file are shown under the file's name.
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

// Called by owners to open a file by path; an open resource is closed first.
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

// Called by owners before deleting the object; a refused close leaves it open.
int Resource::Close() {
  if (!open_) return 0;
  if (!CloseResource()) return Fail(Error::FileClose);
  open_ = false;
  name_[0] = '\0';
  lastError_ = 0;
  return 0;
}
