#include "wavedata/Resource.h"

#include <windows.h>

#include <cstdio>

#include "core/ErrorCodes.h"
#include "util/PathText.h"

Resource::Resource() {
  classId_ = kResource;
  name_[0] = '\0';
  refusal_[0] = '\0';
}

Resource::~Resource() = default;

// Errors of an open file are shown under the file's name: the user knows which file failed.
int32_t Resource::GetTypeName(char* text, int size) {
  const char* name = open_ && name_[0] != '\0' ? name_ : failedName_;
  if (text && size > 0 && name) {
    FileNameOfPath(name, text, size);
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
  if (!name || name[0] == '\0') return Fail(Error::FileOpen);
  // The system opens no longer path (and the field could not hold it whole): say so,
  // rather than open a cut name.
  const int length = lstrlenA(name);
  if (length >= kResourceNameSize) {
    char file[kResourceNameSize];
    snprintf(refusal_, sizeof refusal_, "%s\nThe path of this file has %d characters; the system opens paths of up to %d.",
             FileNameOfPath(name, file, sizeof file), length, kResourceNameSize - 1);
    SetErrorText(refusal_);
    ReportError(Error::PathTooLong);
    SetErrorText(nullptr);
    return lastError_;
  }
  if (!OpenResource(name, mode)) {
    failedName_ = name;
    ReportError(Error::FileOpen);
    failedName_ = nullptr;
    return lastError_;
  }
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
