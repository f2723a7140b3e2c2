// The common open or save dialog over one file name.
//
//   FileDialog open(Handle());  open.SetInstance(module);  open.SetTitle("Open Wave Ch1...");
//   open.SetFilter("Wave files\0*.wav\0All files\0*.*\0\0");
//   if (open.ShowFileDialog()) use open.FileName() (full path) and open.FileTitle().
#pragma once
#include <windows.h>
#include <commdlg.h>

#include "ui/framework/CommonDialog.h"

constexpr int kFilterSize = 16387;
// Room for a chosen name: more than any path the system opens, so that a longer one
// still arrives whole and whoever opens it can say why it cannot.
constexpr int kFileDialogNameSize = 1024;

class FileDialog : public CommonDialog {
 public:
  // An open dialog with no filter, filter index 1, no initial directory (the
  // dialog's own default) and no default extension.
  explicit FileDialog(HWND parent);

  // Open dialog, "All files" filter, filter index 1, initial directory "\".
  void InitFileDialog() override;
  // Empties the file name and title and fills the record from the settings.
  void FillOpenFileName() override;
  // GetOpenFileNameA or GetSaveFileNameA: true when a file was chosen. A failure of
  // the dialog (not a cancel) is reported (106, with its reason) and kept in Failure().
  bool ShowFileDialog() override;
  // The dialog's extended error of the last ShowFileDialog; 0 after a choice or a cancel.
  DWORD Failure() const { return failure_; }

  bool IsOpen() const { return open_; }
  // true: the open dialog (the file must exist); false: the save dialog.
  void SetOpen(bool open) { open_ = open; }
  // Description/pattern pairs, each NUL-terminated, ended by a second NUL.
  void SetFilter(const char* filter);
  const char* Filter() const { return filter_; }
  // Without the dot; appended to a typed name that has none.
  void SetDefaultExtension(const char* extension);

  // The chosen path and its file name part, after a successful ShowFileDialog.
  const char* FileName() const { return fileName_; }
  const char* FileTitle() const { return fileTitle_; }
  const OPENFILENAMEA& Record() const { return record_; }

 private:
  bool open_ = true;
  OPENFILENAMEA record_;
  char filter_[kFilterSize];
  DWORD failure_ = 0;
  char fileName_[kFileDialogNameSize];
  char fileTitle_[128];
  char failureText_[256];
  char initialDirectory_[256];
  char defaultExtension_[16];
};
