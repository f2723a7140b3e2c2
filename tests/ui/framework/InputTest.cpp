// Input routing and painting of a skinned window, driven with real mouse input
// and read back from the window's pixels.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/common/ErrorRecorder.h"
#include "tests/ui/framework/TestWindow.h"
#include "ui/framework/PushButton.h"
#include "ui/framework/TextDisplay.h"
#include "ui/framework/ToggleButton.h"

using testkit::CaptureWindow;
using testkit::ClickAt;
using testkit::Image;
using testkit::MoveMouseTo;
using testkit::PressAt;
using testkit::ReleaseAt;

namespace {

// A push button that counts the tooltip's requests for its text.
class ProbeButton : public PushButton {
 public:
  using PushButton::PushButton;
  void PrepareToolTip() override { ++prepared; }
  int prepared = 0;
};

using testkit::ErrorRecorder;

// Table indices of the controls the skinned test window is built with.
enum Index { kA, kB, kToggle, kDisabled, kDisplay, kFirst, kSecond };
constexpr POINT kOutside = {180, 135};  // client point over no control

class SkinnedWindow : public WindowFixture {
 protected:
  void SetUp() override {
    window.backgroundId = kBackgroundBitmap;
    window.build = [this](TestWindow& w) { return Build(w); };
    ASSERT_EQ(Open(), 0);
    // Tooltips popping up under the pointer would take its clicks.
    SendMessageA(window.ToolTipWindow(), TTM_ACTIVATE, FALSE, 0);
  }
  void TearDown() override {
    WindowFixture::TearDown();
    delete frames_;
  }

  static ProbeButton* Button(HWND parent, int x, int y, UINT id, const Surface* frames) {
    ProbeButton* button = new ProbeButton(parent);
    button->SetFrames(x, y, frames);
    button->SetCommand(id);
    return button;
  }

  int Build(TestWindow& w) {
    HWND h = w.Handle();
    frames_ = new Surface(TestModule(), kFramesBitmap);
    int r = 0;
    r |= w.AddControl(std::unique_ptr<Control>(Button(h, 10, 10, 101, frames_)));   // A
    r |= w.AddControl(std::unique_ptr<Control>(Button(h, 60, 10, 102, frames_)));   // B
    ToggleButton* toggle = new ToggleButton(h);
    r |= toggle->LoadFrames(110, 10, TestModule(), kToggleBitmap);
    toggle->SetCommand(103);
    r |= w.AddControl(std::unique_ptr<Control>(toggle));
    ProbeButton* disabled = Button(h, 10, 40, 104, frames_);
    disabled->SetEnabled(false);
    disabled->SetToolTipText("disabled tip");
    r |= w.AddControl(std::unique_ptr<Control>(disabled));
    TextDisplay* display = new TextDisplay(h);
    display->SetBounds(10, 70, 80, 16);
    display->SetText("HHHH");
    r |= w.AddControl(std::unique_ptr<Control>(display));
    // Two overlapping buttons: the first gets the events, the second is drawn on top.
    r |= w.AddControl(std::unique_ptr<Control>(Button(h, 120, 95, 111, frames_)));
    ProbeButton* second = Button(h, 140, 105, 112, frames_);
    second->SetEnabled(false);
    r |= w.AddControl(std::unique_ptr<Control>(second));
    return r;
  }

  // The centre of a control's rectangle.
  static POINT Centre(const Control* c) {
    return {(c->Rect().left + c->Rect().right) / 2, (c->Rect().top + c->Rect().bottom) / 2};
  }
  void Move(const Control* c) { MoveMouseTo(Hwnd(), Centre(c).x, Centre(c).y); }
  void MoveOutside() { MoveMouseTo(Hwnd(), kOutside.x, kOutside.y); }
  ProbeButton* Probe(int index) { return window.At<ProbeButton>(index); }
  std::vector<WPARAM> Commands() {
    std::vector<WPARAM> ids;
    for (auto& c : window.commands) ids.push_back(c.wParam);
    return ids;
  }

  Surface* frames_ = nullptr;
};

TEST_F(SkinnedWindow, ClickCompletesOnlyOverTheControlThatShowsItselfPressed) {
  ProbeButton* a = Probe(kA);
  ProbeButton* b = Probe(kB);
  Move(a);
  EXPECT_EQ(a->State(), kStateHover);
  PressAt(Hwnd(), Centre(a).x, Centre(a).y);
  EXPECT_EQ(window.PressedControl(), a);
  EXPECT_EQ(a->State(), kStatePressed);
  EXPECT_EQ(GetCapture(), nullptr);  // no capture for control presses
  MoveOutside();
  EXPECT_EQ(a->State(), kStateNormal);
  Move(a);
  EXPECT_EQ(a->State(), kStatePressed);
  ReleaseAt(Hwnd(), Centre(a).x, Centre(a).y);
  EXPECT_EQ(Commands(), std::vector<WPARAM>{101});
  EXPECT_EQ(window.PressedControl(), nullptr);
  EXPECT_EQ(a->State(), kStateNormal);

  // Pressed on A, released on B: B hears the release, nobody clicks.
  PressAt(Hwnd(), Centre(a).x + 6, Centre(a).y);
  Move(b);
  EXPECT_EQ(a->State(), kStateNormal);
  EXPECT_EQ(b->State(), kStateHover);
  ReleaseAt(Hwnd(), Centre(b).x, Centre(b).y);
  EXPECT_EQ(b->PreviousState(), kStateHover);
  EXPECT_EQ(Commands(), std::vector<WPARAM>{101});
  EXPECT_EQ(window.PressedControl(), nullptr);
}

TEST_F(SkinnedWindow, PressOutsideEveryControlDragsTheWindowAndReleasesTheCapture) {
  RECT before;
  GetWindowRect(Hwnd(), &before);
  PressAt(Hwnd(), kOutside.x, kOutside.y);
  EXPECT_TRUE(window.Dragging());
  EXPECT_EQ(GetCapture(), Hwnd());
  MoveMouseTo(Hwnd(), kOutside.x + 15, kOutside.y + 10);
  MoveMouseTo(Hwnd(), kOutside.x + 30, kOutside.y + 20);  // the window followed: still the same offset
  RECT after;
  GetWindowRect(Hwnd(), &after);
  // The pointer moved 45 x 30 pixels on the screen; Wine's X11 pointer sync may add a pixel.
  EXPECT_NEAR(after.left - before.left, 45, 2);
  EXPECT_NEAR(after.top - before.top, 30, 2);
  ReleaseAt(Hwnd(), kOutside.x, kOutside.y);
  EXPECT_FALSE(window.Dragging());
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_TRUE(window.commands.empty());
}

TEST_F(SkinnedWindow, ADragEndsWhenTheCaptureGoesOrTheButtonIsUp) {
  // Another window takes the capture mid-drag (Alt+Tab, a menu): the window stays put.
  PressAt(Hwnd(), kOutside.x, kOutside.y);
  ASSERT_TRUE(window.Dragging());
  HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  SetCapture(other);
  EXPECT_FALSE(window.Dragging());
  ReleaseCapture();
  DestroyWindow(other);
  RECT before, after;
  GetWindowRect(Hwnd(), &before);
  MoveMouseTo(Hwnd(), kOutside.x + 30, kOutside.y + 20);
  GetWindowRect(Hwnd(), &after);
  EXPECT_EQ(after.left, before.left);
  ReleaseAt(Hwnd(), kOutside.x + 30, kOutside.y + 20);
  // A move without the button down (its release went elsewhere) ends the drag and the capture.
  SendMessageA(Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kOutside.x, kOutside.y));
  ASSERT_TRUE(window.Dragging());
  SendMessageA(Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(kOutside.x + 5, kOutside.y));
  EXPECT_FALSE(window.Dragging());
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SkinnedWindow, DisabledControlIsNotHitButDrawnWithItsFrameAndTooltip) {
  ProbeButton* disabled = Probe(kDisabled);
  ClickAt(Hwnd(), Centre(disabled).x, Centre(disabled).y);
  EXPECT_TRUE(window.commands.empty());
  EXPECT_EQ(window.ControlAt(Centre(disabled).x, Centre(disabled).y), nullptr);
  Image image = CaptureWindow(Hwnd());
  EXPECT_TRUE(image.Filled(disabled->Rect(), kPushFrames[1]));
  EXPECT_TRUE(image.Filled(Probe(kA)->Rect(), kPushFrames[0]));

  // The tooltip asks for the text of the control under the cursor, disabled or not.
  NMTTDISPINFOA info = {};
  info.hdr.hwndFrom = window.ToolTipWindow();
  info.hdr.code = TTN_NEEDTEXTA;
  SendMessageA(Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(info.lpszText, "disabled tip");
  EXPECT_EQ(disabled->prepared, 1);
  MoveOutside();
  info.lpszText = nullptr;
  SendMessageA(Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.lpszText, nullptr);
  // Every control was registered with the tooltip window under its table index.
  EXPECT_EQ(SendMessageA(window.ToolTipWindow(), TTM_GETTOOLCOUNT, 0, 0), window.ControlCount());
}

TEST_F(SkinnedWindow, TheEightToggleFramesAppearAtTheToggleRectangle) {
  ToggleButton* toggle = window.At<ToggleButton>(kToggle);
  const RECT& r = toggle->Rect();
  EXPECT_EQ(r.right - r.left, 30);
  EXPECT_EQ(r.bottom - r.top, 20);
  auto shows = [&](int frame) { return CaptureWindow(Hwnd()).Filled(r, kToggleFrames[frame]); };
  POINT c = Centre(toggle);
  EXPECT_TRUE(shows(0));
  toggle->SetEnabled(false);
  toggle->Invalidate();
  EXPECT_TRUE(shows(1));
  toggle->SetEnabled(true);
  MoveMouseTo(Hwnd(), c.x, c.y);
  EXPECT_TRUE(shows(2));
  PressAt(Hwnd(), c.x, c.y);
  EXPECT_TRUE(shows(3));
  ReleaseAt(Hwnd(), c.x, c.y);
  EXPECT_TRUE(toggle->On());
  EXPECT_TRUE(shows(4));  // on and normal until the pointer moves again
  EXPECT_EQ(Commands(), std::vector<WPARAM>{103});
  MoveMouseTo(Hwnd(), c.x + 1, c.y);
  EXPECT_TRUE(shows(6));
  PressAt(Hwnd(), c.x + 8, c.y);
  EXPECT_TRUE(shows(7));
  MoveOutside();
  toggle->SetEnabled(false);
  toggle->Invalidate();
  EXPECT_TRUE(shows(5));
  toggle->SetEnabled(true);
  // A press that began elsewhere and ends over the toggle flips it without a click.
  ReleaseAt(Hwnd(), kOutside.x, kOutside.y);
  PressAt(Hwnd(), Centre(Probe(kA)).x, Centre(Probe(kA)).y);
  MoveMouseTo(Hwnd(), c.x - 5, c.y);
  ReleaseAt(Hwnd(), c.x - 5, c.y);
  EXPECT_FALSE(toggle->On());
  EXPECT_EQ(Commands(), std::vector<WPARAM>{103});
}

// Switch images (the LEDs) are checked on the main window's screenshot (tests/e2e).
TEST_F(SkinnedWindow, TextDisplayDrawsCentredGreenTextAndItsBorder) {
  Image image = CaptureWindow(Hwnd());
  TextDisplay* display = window.At<TextDisplay>(kDisplay);
  RECT field = display->Rect();
  int black = image.Count(field, 0x000000);
  int green = image.Count(field, 0x00FF00);
  EXPECT_GT(green, 10);  // green text on a black field
  EXPECT_GT(black, 80 * 16 / 2);
  EXPECT_TRUE(image.Filled({field.left, field.top, field.left + 15, field.bottom}, 0x000000));  // centred
  display->SetBorder(true);
  display->Invalidate();
  EXPECT_FALSE(CaptureWindow(Hwnd()).Filled({field.left, field.top, field.right, field.top + 1}, 0x000000));
  // Kept for a person to look at when something here fails.
  EXPECT_TRUE(image.SavePng(testkit::ScratchDir("framework_input") + "\\skinned_window.png"));
}

TEST_F(SkinnedWindow, OverlappingControlsFirstGetsEventsLaterDrawnOnTop) {
  ProbeButton* first = Probe(kFirst);
  ProbeButton* second = Probe(kSecond);
  RECT overlap;
  IntersectRect(&overlap, &first->Rect(), &second->Rect());
  ClickAt(Hwnd(), overlap.left + 2, overlap.top + 2);
  EXPECT_EQ(Commands(), std::vector<WPARAM>{111});
  second->SetEnabled(true);  // now hit-testable too, still second in the table
  ClickAt(Hwnd(), overlap.left + 9, overlap.top + 5);
  EXPECT_EQ(Commands(), (std::vector<WPARAM>{111, 111}));
  Image image = CaptureWindow(Hwnd());
  EXPECT_TRUE(image.Filled(overlap, kPushFrames[0]));
  EXPECT_TRUE(image.Filled({first->Rect().left, first->Rect().top, overlap.left, overlap.bottom}, kPushFrames[0]));
}

// A right-click on a control with a real mouse; another thread chooses the
// context menu's one item with the keyboard when the menu shows.
TEST_F(SkinnedWindow, DirectHelpAsksForTheWindowsAndTheControlsHelp) {
  ErrorRecorder errors;
  window.SetHelpId(7);
  Probe(kA)->SetHelpId(42);
  std::atomic<bool> chosen{false};
  std::thread user([&] {
    for (int i = 0; i < 300 && !chosen; ++i, Sleep(10)) {
      HWND menu = FindWindowA("#32768", nullptr);
      if (!menu || !IsWindowVisible(menu)) continue;
      testkit::PostKey(menu, VK_DOWN);
      testkit::PostKey(menu, VK_RETURN);
      chosen = true;
    }
  });
  testkit::RightClickAt(Hwnd(), Centre(Probe(kA)).x, Centre(Probe(kA)).y);
  testkit::Settle();
  user.join();
  ASSERT_TRUE(chosen) << "no context menu";
  EXPECT_EQ(errors.help, (std::vector<std::pair<intptr_t, intptr_t>>{{7, 42}}));
}

TEST_F(SkinnedWindow, HelpNamesTheControlUnderThePoint) {
  ErrorRecorder errors;
  Probe(kDisabled)->SetHelpId(5);
  HELPINFO help = {};
  help.cbSize = sizeof help;
  POINT p = Centre(Probe(kDisabled));
  ClientToScreen(Hwnd(), &p);
  help.MousePos = p;
  window.SetHelpId(3);
  EXPECT_EQ(SendMessageA(Hwnd(), WM_HELP, 0, reinterpret_cast<LPARAM>(&help)), 1);  // visible, though disabled
  p = kOutside;
  ClientToScreen(Hwnd(), &p);
  help.MousePos = p;
  EXPECT_EQ(SendMessageA(Hwnd(), WM_HELP, 0, reinterpret_cast<LPARAM>(&help)), 0);
  EXPECT_EQ(errors.help, (std::vector<std::pair<intptr_t, intptr_t>>{{3, 5}, {3, -1}}));
}

}  // namespace
