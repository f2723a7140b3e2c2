#include "ui/framework/FileDialog.h"

#include <cstdio>

#include "core/ErrorCodes.h"

FileDialog::FileDialog(HWND parent) : CommonDialog(parent), record_() {
  filter_[0] = filter_[1] = '\0';
  fileName_[0] = fileTitle_[0] = initialDirectory_[0] = defaultExtension_[0] = failureText_[0] = '\0';
}

void FileDialog::InitFileDialog() {
  CommonDialog::InitFileDialog();
  open_ = true;
  record_ = OPENFILENAMEA();
  SetFilter("All files\0*.*\0");
  fileName_[0] = fileTitle_[0] = defaultExtension_[0] = '\0';
  lstrcpynA(initialDirectory_, "\\", sizeof initialDirectory_);
}

// Copies up to and including the first pair of NULs. A filter longer than the
// field is cut and still ends with two NULs.
void FileDialog::SetFilter(const char* filter) {
  int i = 0;
  for (; filter && i < kFilterSize - 2; ++i) {
    filter_[i] = filter[i];
    if (filter[i] == '\0' && (i == 0 || filter[i - 1] == '\0')) break;
  }
  filter_[i] = '\0';
  filter_[i + 1] = '\0';
}

void FileDialog::SetDefaultExtension(const char* extension) {
  lstrcpynA(defaultExtension_, extension ? extension : "", sizeof defaultExtension_);
}

void FileDialog::FillOpenFileName() {
  fileName_[0] = fileTitle_[0] = '\0';
  record_ = OPENFILENAMEA();
  // The record without the Windows 2000 additions, as the dialog has always been asked for.
  record_.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  record_.hwndOwner = parent_;
  record_.hInstance = instance_;
  record_.lpstrFilter = filter_[0] ? filter_ : nullptr;
  record_.nFilterIndex = 1;
  record_.lpstrFile = fileName_;
  record_.nMaxFile = sizeof fileName_;
  record_.lpstrFileTitle = fileTitle_;
  record_.nMaxFileTitle = sizeof fileTitle_;
  record_.lpstrInitialDir = initialDirectory_[0] ? initialDirectory_ : nullptr;
  record_.lpstrTitle = title_[0] ? title_ : nullptr;
  // A save dialog names a file that need not exist yet: with OFN_FILEMUSTEXIST the
  // platform would refuse every new name.
  record_.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | (open_ ? OFN_FILEMUSTEXIST : 0);
  // Appended to a name typed without an extension.
  record_.lpstrDefExt = defaultExtension_[0] ? defaultExtension_ : nullptr;
}

bool FileDialog::ShowFileDialog() {
  FillOpenFileName();
  BOOL chosen = open_ ? GetOpenFileNameA(&record_) : GetSaveFileNameA(&record_);
  failure_ = chosen ? 0 : CommDlgExtendedError();
  if (!chosen) fileName_[0] = fileTitle_[0] = '\0';
  if (failure_ != 0) {
    // Doing nothing here would look like a cancel to the user.
    snprintf(failureText_, sizeof failureText_, "The dialog \"%s\" failed (code 0x%lX)%s.", title_,
             static_cast<unsigned long>(failure_),
             failure_ == FNERR_BUFFERTOOSMALL ? ": the chosen name is too long" : "");
    SetErrorText(failureText_);
    ReportError(Error::FileDialogFailed);
    SetErrorText(nullptr);
  }
  return chosen != 0;
}
