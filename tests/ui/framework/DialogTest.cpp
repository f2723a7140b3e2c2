// Template dialogs, the progress dialog driven by a worker thread, and the real
// common open and save dialogs answered by test code.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/ErrorRecorder.h"
#include "tests/common/TestKit.h"
#include "tests/ui/framework/SkinColours.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/FileDialog.h"
#include "ui/framework/ProgressDialog.h"

namespace {

HINSTANCE Module() { return GetModuleHandleA(nullptr); }
constexpr const char* kPlainTitle = "Plain test dialog";
constexpr const char* kProgressTitle = "Working, please wait...";

using HelpRecorder = testkit::ErrorRecorder;

class PlainDialog : public Dialog {
 public:
  PlainDialog() : Dialog(kPlainDialog) { SetInstance(Module()); }
  bool CanClose() override { return allowClose; }
  void OnClosed() override { ++closed; }
  std::atomic<bool> allowClose{true};
  int closed = 0;
};

TEST(Dialog, RefusingCanCloseKeepsItOpen) {
  PlainDialog dialog;
  dialog.allowClose = false;
  std::atomic<bool> stillOpen{false};
  std::thread user([&] {
    HWND hwnd = testkit::FindDialog(kPlainTitle);
    // Sent, not posted: each has been handled when the call returns.
    SendMessageA(hwnd, WM_COMMAND, IDOK, 0);
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    stillOpen = IsWindowVisible(hwnd) != 0;
    dialog.allowClose = true;
    PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(dialog.RunModal(), IDCANCEL);
  user.join();
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(dialog.closed, 0);
}

TEST(Dialog, HelpOnlyForAWindowContextAndAHelpId) {
  HelpRecorder recorder;
  PlainDialog dialog;
  std::vector<LRESULT> results;
  std::thread user([&] {
    HWND hwnd = testkit::FindDialog(kPlainTitle);
    HELPINFO help = {};
    help.cbSize = sizeof help;
    help.iContextType = HELPINFO_WINDOW;
    help.dwContextId = 55;
    dialog.SetHelpId(kNoHelp);
    results.push_back(SendMessageA(hwnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&help)));
    dialog.SetHelpId(9);
    results.push_back(SendMessageA(hwnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&help)));
    help.iContextType = HELPINFO_MENUITEM;
    results.push_back(SendMessageA(hwnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&help)));
    PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
  });
  dialog.RunModal();
  user.join();
  EXPECT_EQ(results, (std::vector<LRESULT>{0, 1, 0}));
  EXPECT_EQ(recorder.help, (std::vector<std::pair<intptr_t, intptr_t>>{{9, 55}}));
}

// The bar's position and the caption as the dialog shows them.
int BarPosition(HWND dialog) { return (int)SendMessageA(GetDlgItem(dialog, kProgressBarItem), PBM_GETPOS, 0, 0); }

TEST(ProgressDialog, WorkerDrivesTheBarAndOnlyItsFinishCloses) {
  ProgressDialog progress;
  progress.SetInstance(Module());
  progress.SetCaption("Building waveform of take.wav");
  std::vector<int> positions;
  std::string caption;
  std::atomic<bool> openAfterEscape{false};
  std::thread worker([&] {
    HWND hwnd = testkit::FindDialog(kProgressTitle);
    char text[256] = {};
    GetDlgItemTextA(hwnd, kProgressCaptionItem, text, sizeof text);
    caption = text;
    for (int value : {10, 50, 40}) {
      progress.SetProgress(value);
      positions.push_back(BarPosition(hwnd));
    }
    // Cancel (what Esc becomes) and the close box before the job is done, sent so
    // that both have been handled when the check runs.
    SendMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    openAfterEscape = IsWindowVisible(hwnd) != 0;
    progress.Finish();
  });
  EXPECT_EQ(progress.RunModal(), IDCANCEL);
  worker.join();
  EXPECT_EQ(caption, "Building waveform of take.wav");
  EXPECT_EQ(positions, (std::vector<int>{10, 50, 90}));
  EXPECT_EQ(progress.LastValue(), 40);
  EXPECT_TRUE(openAfterEscape);
}

TEST(ProgressDialog, EscapeClosesOnceClosingIsAllowed) {
  ProgressDialog progress;
  progress.SetInstance(Module());
  std::thread user([&] {
    HWND hwnd = testkit::FindDialog(kProgressTitle);
    progress.AllowClose();
    testkit::PostKey(hwnd, VK_ESCAPE);
  });
  EXPECT_EQ(progress.RunModal(), IDCANCEL);
  user.join();
}

TEST(ProgressDialog, AJobFinishedBeforeTheDialogAppearedStillClosesIt) {
  ProgressDialog progress;
  progress.SetInstance(Module());
  progress.SetProgress(30);
  progress.Finish();  // no window yet: nothing to send to
  DWORD start = GetTickCount();
  EXPECT_EQ(progress.RunModal(), IDCANCEL);
  EXPECT_LT(GetTickCount() - start, 3000u);
}

// Files the common dialogs are pointed at.
class CommonDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testkit::ScratchDir("file_dialog");
    existing_ = dir_ + "\\take.wav";
    testkit::WriteFileBytes(existing_, {'R', 'I', 'F', 'F'});
  }
  std::string dir_;
  std::string existing_;
};

TEST_F(CommonDialogs, OpenDialogReturnsTheChosenPathAndTitle) {
  FileDialog open(nullptr);
  open.SetInstance(Module());
  open.SetTitle("Open Wave Ch1...");
  open.SetFilter("Wave files\0*.wav\0All files\0*.*\0");
  std::atomic<bool> answered{false};
  std::thread user([&] { answered = testkit::AnswerFileDialog("Open Wave Ch1...", existing_, 20000); });
  EXPECT_TRUE(open.ShowFileDialog());
  user.join();
  EXPECT_TRUE(answered);
  EXPECT_STREQ(open.FileName(), existing_.c_str());
  EXPECT_STREQ(open.FileTitle(), "take.wav");

  // A cancel after a success leaves no stale name behind.
  user = std::thread([&] { testkit::CancelDialog("Open Wave Ch1...", 20000); });
  EXPECT_FALSE(open.ShowFileDialog());
  user.join();
  EXPECT_STREQ(open.FileName(), "");
  EXPECT_STREQ(open.FileTitle(), "");
}

TEST(FileDialogFilter, CopiedUpToTheDoubleNulAndCutWhenTooLong) {
  FileDialog dialog(nullptr);
  const char filter[] = "Wave\0*.wav\0All\0*.*\0\0garbage";
  dialog.SetFilter(filter);
  EXPECT_EQ(memcmp(dialog.Filter(), filter, 20), 0);  // up to and including the second NUL
  std::string endless(20000, 'x');
  dialog.SetFilter(endless.c_str());
  EXPECT_EQ(strlen(dialog.Filter()), (size_t)kFilterSize - 2);
  EXPECT_EQ(dialog.Filter()[kFilterSize - 1], '\0');
}

}  // namespace
