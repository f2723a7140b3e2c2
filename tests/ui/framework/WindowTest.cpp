// Window objects: message dispatch, closing, creation on the calling thread and
// on a thread of the window's own, failure paths, type names and placement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ErrorCodes.h"
#include "tests/common/ErrorRecorder.h"
#include "tests/ui/framework/TestWindow.h"
#include "util/Registry.h"

namespace {

using RecordingHandler = testkit::ErrorRecorder;

bool Signalled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

bool QuitPosted() {
  MSG msg;
  return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

using WindowDispatch = WindowFixture;

TEST_F(WindowDispatch, OkOrCancelCommandOnAPlainWindowClosesIt) {
  ASSERT_EQ(Open(), 0);
  HWND hwnd = Hwnd();
  EXPECT_EQ(SendMessageA(hwnd, WM_COMMAND, IDOK, 0), 1);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(window.Handle(), nullptr);
  EXPECT_EQ(window.closeAsked, 1);
  EXPECT_EQ(window.closedCalls, 1);
  EXPECT_TRUE(Signalled(window.ClosedEvent()));
  EXPECT_FALSE(QuitPosted());
}

TEST_F(WindowDispatch, RefusedCloseKeepsTheWindowAndStillSignalsClosed) {
  ASSERT_EQ(Open(), 0);
  window.allowClose = false;
  EXPECT_EQ(SendMessageA(Hwnd(), WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(IsWindow(Hwnd()));
  EXPECT_EQ(window.closedCalls, 1);
  EXPECT_TRUE(Signalled(window.ClosedEvent()));
  EXPECT_FALSE(Signalled(window.ClosedEvent()));  // auto-reset
  SendMessageA(Hwnd(), WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(IsWindow(Hwnd()));
  EXPECT_EQ(window.closeAsked, 2);
}

using WindowCreation = WindowFixture;

// The window's shape is checked on the screen: outside the mask the main window is
// transparent (tests/e2e, screenshot).
TEST_F(WindowCreation, RefusedOnCreateUnregistersReportsAndShowsNothing) {
  RecordingHandler errors;
  window.failBeforeCreate = true;
  WindowDescription d = TestDescription();
  HRGN outline = d.region = CreateRectRgn(0, 0, 10, 10);
  EXPECT_EQ(Open(d), Error::WindowCreate);
  EXPECT_EQ(GetObjectType(outline), 0u) << "the outline of a window never made is left undeleted";
  EXPECT_EQ(window.Handle(), nullptr);
  EXPECT_FALSE(window.ClassRegistered());
  WNDCLASSEXA wc = {sizeof wc};
  EXPECT_FALSE(GetClassInfoExA(TestModule(), "SondrelTestWindow", &wc));
  EXPECT_EQ(errors.codes, std::vector<int>{Error::WindowCreate});
  EXPECT_FALSE(QuitPosted());  // the failed creation's WM_DESTROY must not end the caller's loop
}

BOOL CALLBACK CountToolTip(HWND hwnd, LPARAM param) {
  char cls[64];
  GetClassNameA(hwnd, cls, sizeof cls);
  if (lstrcmpiA(cls, TOOLTIPS_CLASSA) == 0) ++*reinterpret_cast<int*>(param);
  return TRUE;
}

// This thread's tooltip windows.
int ToolTipWindows() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountToolTip, reinterpret_cast<LPARAM>(&count));
  return count;
}

TEST_F(WindowCreation, FailingLateInOnCreateLeavesNoWindowBehind) {
  RecordingHandler errors;
  int before = ToolTipWindows();
  window.backgroundId = 9999;  // no such bitmap: LoadBitmaps fails after the tooltips exist
  EXPECT_EQ(Open(), Error::WindowCreate);
  EXPECT_EQ(ToolTipWindows(), before);
  EXPECT_EQ(window.OffscreenDc(), nullptr);
  EXPECT_EQ(window.SkinFont(), nullptr);
}

TEST_F(WindowCreation, UnregisteredClassWithoutRegisteringFails) {
  EXPECT_EQ(window.Create(false, TestDescription("NoSuchSondrelClass"), TestModule(), SW_HIDE),
            Error::WindowCreate);
  EXPECT_FALSE(window.ClassRegistered());
  window.UnregisterWindowClass();  // nothing to do
  // A second window of an already registered class, created hidden.
  TestWindow first;
  ASSERT_EQ(first.Create(true, TestDescription("SondrelShared"), TestModule(), SW_HIDE), 0);
  TestWindow second;
  ASSERT_EQ(second.Create(false, TestDescription("SondrelShared"), TestModule(), SW_HIDE), 0);
  EXPECT_FALSE(IsWindowVisible(second.Handle()));
  // The first goes while the second still stands: its class cannot be unregistered yet.
  // It stays the first's, to be retried: a class left behind would outlive the module.
  SendMessageA(first.Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(first.UnregisterWindowClass());
  EXPECT_TRUE(first.ClassRegistered());
  // Its next window retries and, the class still standing, uses it again.
  ASSERT_EQ(first.Create(true, TestDescription("SondrelShared"), TestModule(), SW_HIDE), 0);
  SendMessageA(first.Handle(), WM_CLOSE, 0, 0);
  SendMessageA(second.Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(first.UnregisterWindowClass());
  EXPECT_FALSE(first.ClassRegistered());
  WNDCLASSEXA gone = {sizeof gone};
  EXPECT_FALSE(GetClassInfoExA(TestModule(), "SondrelShared", &gone));
}

TEST_F(WindowCreation, ClosingReleasesEveryWindowAndDrawingObject) {
  Control* control = nullptr;
  window.backgroundId = kBackgroundBitmap;
  window.build = [&](TestWindow& w) {
    control = new Control(w.Handle());
    control->SetBounds(5, 5, 20, 20);
    return w.AddControl(std::unique_ptr<Control>(control));
  };
  ASSERT_EQ(Open(), 0);
  HRGN region = control->Region();
  HDC offscreen = window.OffscreenDc();
  HBITMAP bitmap = static_cast<HBITMAP>(GetCurrentObject(offscreen, OBJ_BITMAP));
  HFONT font = window.SkinFont();
  HWND tooltips = window.ToolTipWindow();
  EXPECT_EQ(GetObjectType(region), (DWORD)OBJ_REGION);
  EXPECT_EQ(GetObjectType(bitmap), (DWORD)OBJ_BITMAP);
  EXPECT_EQ(GetObjectType(font), (DWORD)OBJ_FONT);
  EXPECT_EQ(GetCurrentObject(offscreen, OBJ_FONT), font);
  EXPECT_TRUE(IsWindow(tooltips));
  SendMessageA(Hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(GetObjectType(region), 0u);
  EXPECT_EQ(GetObjectType(offscreen), 0u);
  EXPECT_EQ(GetObjectType(bitmap), 0u);
  EXPECT_EQ(GetObjectType(font), 0u);
  EXPECT_FALSE(IsWindow(tooltips));
  EXPECT_EQ(window.ControlCount(), 0);
  EXPECT_EQ(window.OffscreenDc(), nullptr);
}

using WindowNames = WindowFixture;

TEST_F(WindowNames, TypeNameIsTheTitleCutToTheCallersBuffer) {
  EXPECT_EQ(window.GetTypeName(nullptr), kUserInterface);
  WindowDescription d = TestDescription();
  std::string title(120, 'T');
  d.SetTitle(title.c_str());
  ASSERT_EQ(Open(d), 0);
  char small[20];
  memset(small, '#', sizeof small);
  window.GetTypeName(small, 16);
  EXPECT_EQ(std::string(small), std::string(15, 'T'));
  EXPECT_EQ(small[16], '#');

  RecordingHandler errors;
  window.ReportError(Error::ControlCreate);
  ASSERT_EQ(errors.texts.size(), 1u);
  EXPECT_EQ(errors.texts[0], title);
}

class WindowPlacement : public WindowFixture {
 protected:
  void SetUp() override {
    std::string dir = testkit::ScratchDir("placement");
    settings.SetFileName((dir + "\\placement.ini").c_str());
    ASSERT_EQ(settings.SelectSection("Orvan Sondrel", true), 0);
    ASSERT_EQ(Open(), 0);
  }
  POINT Where() {
    RECT r;
    GetWindowRect(Hwnd(), &r);
    return {r.left, r.top};
  }
  Registry settings;
};

TEST_F(WindowPlacement, RestoreMovesOnlyToASavedPointOnTheScreen) {
  EXPECT_FALSE(window.RestoreWindowPosition(&settings, "MainWndPos"));  // never saved
  settings.SetPoint("MainWndPos", 0, 0);
  EXPECT_FALSE(window.RestoreWindowPosition(&settings, "MainWndPos"));
  EXPECT_EQ(Where().x, 120);
  settings.SetPoint("MainWndPos", GetSystemMetrics(SM_CXFULLSCREEN) + 1, 10);
  EXPECT_FALSE(window.RestoreWindowPosition(&settings, "MainWndPos"));
  EXPECT_EQ(Where().x, 120);
  settings.SetPoint("MainWndPos", 300, 200);
  EXPECT_TRUE(window.RestoreWindowPosition(&settings, "MainWndPos"));
  EXPECT_EQ(Where().x, 300);
  EXPECT_EQ(Where().y, 200);
  settings.SetPoint("MainWndPos", -20, 30);
  EXPECT_TRUE(window.RestoreWindowPosition(&settings, "MainWndPos"));
  EXPECT_EQ(Where().x, -20);
  // Saved on a monitor left of or above this one that is gone: back on the screen.
  settings.SetPoint("MainWndPos", -5000, 30);
  EXPECT_TRUE(window.RestoreWindowPosition(&settings, "MainWndPos"));
  EXPECT_NE(MonitorFromWindow(Hwnd(), MONITOR_DEFAULTTONULL), nullptr);
  EXPECT_EQ(Where().x, 0);
  EXPECT_EQ(Where().y, 30);
  settings.SetPoint("MainWndPos", 40, -3000);
  EXPECT_TRUE(window.RestoreWindowPosition(&settings, "MainWndPos"));
  EXPECT_NE(MonitorFromWindow(Hwnd(), MONITOR_DEFAULTTONULL), nullptr);
  EXPECT_EQ(Where().x, 40);
  EXPECT_EQ(Where().y, 0);
}

}  // namespace
