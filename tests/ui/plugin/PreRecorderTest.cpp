// The pre-recorder without a capture device: take names that never replace an
// earlier take, the volume control's path, and the
// window and configuration dialog built from the plug-in's own resources,
// driven by real input and read back as pixels. Takes themselves are recorded
// end to end through the reference host (tests/e2e/prerecorder_tests.py), with the
// track each take goes to.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "recording/PreRecorder.h"
#include "resources/resource_ids.h"
#include "tests/ui/plugin/MainWindowKit.h"
#include "ui/framework/TextDisplay.h"
#include "ui/plugin/MainWindow.h"
#include "ui/plugin/PreRecorderWindow.h"
#include "ui/plugin/WaveTrace.h"

using namespace mwkit;

namespace {

TEST(PreRecorderLogic, GeneratedNamesNeverNameAnExistingFile) {
  const std::string taken = testkit::DataPath("prerecorder\\taken");
  PreRecorder recorder;
  recorder.SetUserfilesDirectory(taken.c_str());
  // Every name but one is taken: that one is found, whatever the generator says first.
  ASSERT_TRUE(recorder.NewOutputName());
  EXPECT_EQ(std::string(recorder.OutputPath()), taken + "\\Oae12345.wav");
  EXPECT_STREQ(recorder.OutputName(), "Oae12345.wav");
  EXPECT_TRUE(recorder.GeneratedName());
  // With that one taken too there is no name, and the path stays as it was.
  ASSERT_TRUE(testkit::WriteFileBytes(recorder.OutputPath(), {}));
  EXPECT_FALSE(recorder.NewOutputName());
  EXPECT_EQ(std::string(recorder.OutputPath()), taken + "\\Oae12345.wav");
  DeleteFileA(recorder.OutputPath());
  // A path the user chose is kept, existing or not.
  recorder.ChooseOutputPath((taken + "\\Oae7.wav").c_str());
  EXPECT_FALSE(recorder.GeneratedName());
  EXPECT_STREQ(recorder.OutputName(), "Oae7.wav");
}

// Points of the pre-recorder on no control (inside its outline), and its controls.
constexpr POINT kBackground = {133, 60};
constexpr POINT kRest = {133, 108};
constexpr RECT RectOf(const LayoutRect& place) { return {place.left, place.top, RightOf(place), BottomOf(place)}; }
constexpr RECT kStart = RectOf(kRecorderStart), kStop = RectOf(kRecorderStop), kLed = RectOf(kRecorderLed);
constexpr RECT kOutput = RectOf(kRecorderOutput), kTrace = RectOf(kRecorderTrace);
const char* const kConfigTitle = "Configure Pre-Recorder";

// Waits on another thread for this process's shown dialog (or menu) and acts on it.
std::thread Answer(const char* cls, const char* title, std::function<void(HWND)> act, std::atomic<bool>* seen) {
  return std::thread([=] {
    for (int i = 0; i < 500 && !*seen; ++i, Sleep(10)) {
      HWND found = FindWindowA(cls, title);
      if (!found || !IsWindowVisible(found)) continue;
      *seen = true;
      act(found);
    }
  });
}

class PreRecorderWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearHostLog();
    window_ = new MainWindow();
    ASSERT_TRUE(window_->Valid());
    SetupRecord setup = {{0, 4410, 0, 65536, 0, 0}};
    window_->Engine().ApplySetup(setup);
    ASSERT_EQ(window_->CreateUserInterface(GetModuleHandleA(nullptr), nullptr, LoadCursorA(nullptr, IDC_ARROW),
                                           SW_SHOW), 0);
    recorder_ = window_->PreRecorder();
    ASSERT_NE(recorder_, nullptr);
    hwnd_ = recorder_->Handle();
    ASSERT_NE(hwnd_, nullptr);
    EXPECT_FALSE(IsWindowVisible(hwnd_)) << "created hidden";
    ClickAndRest(window_->Handle(), ToggleRect());
    ASSERT_TRUE(IsWindowVisible(hwnd_)) << "the toggle shows it";
    testkit::MoveMouseTo(hwnd_, kRest.x, kRest.y);
  }

  void TearDown() override {
    window_->DestroyUserInterface();
    delete window_;
  }

  // A block as the recorder's thread hands it over, then the window paints.
  void Feed(const std::vector<int16_t>& samples) {
    std::thread([&] {
      PreRecorderWindow::OnRecordedBlock(recorder_, reinterpret_cast<const uint8_t*>(samples.data()),
                                         (uint32_t)(samples.size() * 2));
    }).join();
    testkit::Settle();
  }

  // Right-clicks the background and ends the dialog after setting it (stereo) with IDOK or IDCANCEL.
  bool Configure(bool stereo, int end) {
    std::atomic<bool> seen{false};
    std::thread helper = Answer("#32770", kConfigTitle, [=](HWND dialog) {
      CheckRadioButton(dialog, IDC_CONFIG_MONO, IDC_CONFIG_STEREO, stereo ? IDC_CONFIG_STEREO : IDC_CONFIG_MONO);
      PostMessageA(dialog, WM_COMMAND, end, 0);
    }, &seen);
    testkit::RightClickAt(hwnd_, kBackground.x, kBackground.y);
    PumpUntil([&] { return seen && !FindWindowA("#32770", kConfigTitle); });
    helper.join();
    return seen;
  }

  // How many trace pixels have the colour.
  int TracePixels(uint32_t rgb) { return testkit::CaptureWindow(hwnd_).Count(kTrace, rgb); }

  MainWindow* window_ = nullptr;
  PreRecorderWindow* recorder_ = nullptr;
  HWND hwnd_ = nullptr;
};

// Idle: the skin's frames at the controls, the output display's name on black,
// and the trace of silence: a red line at y = 40 of the picture, on cyan.
TEST_F(PreRecorderWindowTest, IdleWindowShowsTheSkin) {
  HMODULE module = GetModuleHandleA(nullptr);
  Feed(std::vector<int16_t>(2205, 0));
  testkit::Image shot = testkit::CaptureWindow(hwnd_);
  ASSERT_EQ(shot.width, 313);
  ASSERT_EQ(shot.height, 119);
  EXPECT_EQ(FrameDifference(shot, kStart, LoadSkin(module, IDB_RECORD_START), 0, 4), 0) << "start: normal";
  EXPECT_EQ(FrameDifference(shot, kStop, LoadSkin(module, IDB_RECORD_STOP), 1, 4), 0) << "stop: disabled";
  EXPECT_EQ(FrameDifference(shot, kLed, LoadSkin(module, IDB_RECORD_LED_UNLIT), 0, 1), 0) << "LED unlit";
  for (int y = 0; y < kRecorderTrace.height; ++y) {
    RECT row = {kTrace.left, kTrace.top + y, kTrace.right - 1, kTrace.top + y + 1};
    EXPECT_TRUE(shot.Filled(row, y == 40 ? kRed : kCyan)) << "trace row " << y;
  }
  bool allGreen = false;
  EXPECT_GT(LitTextPixels(shot, kOutput, &allGreen), 10) << "the generated name is shown";
  EXPECT_STRNE(recorder_->OutputDisplay()->Text(), "none");
  EXPECT_EQ(std::string(recorder_->OutputDisplay()->Text()), recorder_->Recorder().OutputName());
}

// The toggle hides a shown window; showing it again gives a new name; closing is refused.
TEST_F(PreRecorderWindowTest, ToggleAndClose) {
  const std::string first = recorder_->Recorder().OutputPath();
  SendMessageA(hwnd_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(hwnd_)) << "the user cannot close it";
  ClickAndRest(window_->Handle(), ToggleRect());
  EXPECT_FALSE(IsWindowVisible(hwnd_));
  ClickAndRest(window_->Handle(), ToggleRect());
  EXPECT_TRUE(IsWindowVisible(hwnd_));
  EXPECT_NE(std::string(recorder_->Recorder().OutputPath()), first);
}

// Only "&Apply" with a change applies: the fed trace survives "&Apply" without a
// change and "&Close" after choosing stereo; "&Apply" with stereo clears it and a
// stereo block then draws two lines, red around y = 20 and blue around y = 60.
TEST_F(PreRecorderWindowTest, ConfigurationAppliesOnlyConfirmedChanges) {
  std::vector<int16_t> high(2205, 16384);
  Feed(high);
  const int fed = TracePixels(kRed);
  ASSERT_GT(fed, 90);
  ASSERT_EQ(testkit::CaptureWindow(hwnd_).Count({kTrace.left, kTrace.top + 20, kTrace.right, kTrace.top + 21}, kRed),
            99) << "full-scale half: 40 * 16384 / 32768 = 20 pixels above the centre";

  ASSERT_TRUE(Configure(false, IDOK));
  EXPECT_EQ(recorder_->Recorder().Channels(), 1);
  EXPECT_EQ(TracePixels(kRed), fed) << "Apply without a change applies nothing";
  ASSERT_TRUE(Configure(true, IDCANCEL));
  EXPECT_EQ(recorder_->Recorder().Channels(), 1) << "Close applies nothing";
  EXPECT_EQ(TracePixels(kRed), fed);

  ASSERT_TRUE(Configure(true, IDOK));
  EXPECT_EQ(recorder_->Recorder().Channels(), 2);
  EXPECT_EQ(recorder_->Trace()->Amplitude(), 20);
  std::vector<int16_t> stereo(4410);
  for (size_t i = 0; i < stereo.size(); i += 2) stereo[i] = 16384, stereo[i + 1] = -16384;
  Feed(stereo);
  testkit::Image shot = testkit::CaptureWindow(hwnd_);
  EXPECT_EQ(shot.Count({kTrace.left, kTrace.top + 10, kTrace.right, kTrace.top + 11}, kRed), 99);
  EXPECT_EQ(shot.Count({kTrace.left, kTrace.top + 70, kTrace.right, kTrace.top + 71}, kBlue), 99);
}

// A right-click on the enabled start key offers direct help, not the dialog;
// on the disabled stop key it opens the dialog, as the background does.
TEST_F(PreRecorderWindowTest, RightClickOnControls) {
  std::atomic<int> menus{0}, dialogs{0};
  std::atomic<bool> stop{false};
  // Ends every menu and configuration dialog that comes, so that no click waits on a person.
  std::thread closer([&] {
    for (int i = 0; i < 3000 && !stop; ++i, Sleep(10)) {
      HWND menu = FindWindowA("#32768", nullptr);
      if (menu && IsWindowVisible(menu)) {
        ++menus;
        testkit::PostKey(menu, VK_ESCAPE);
        while (IsWindowVisible(menu) && !stop) Sleep(10);
      }
      HWND dialog = FindWindowA("#32770", kConfigTitle);
      if (dialog && IsWindowVisible(dialog)) {
        ++dialogs;
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        while (IsWindow(dialog) && !stop) Sleep(10);
      }
    }
  });
  testkit::RightClickAt(hwnd_, (kStart.left + kStart.right) / 2, (kStart.top + kStart.bottom) / 2);
  PumpUntil([&] { return menus + dialogs > 0; });
  EXPECT_EQ(menus, 1) << "the direct-help menu came";
  EXPECT_EQ(dialogs, 0);
  testkit::RightClickAt(hwnd_, (kStop.left + kStop.right) / 2, (kStop.top + kStop.bottom) / 2);
  PumpUntil([&] { return menus + dialogs > 1; });
  stop = true;
  closer.join();
  EXPECT_EQ(dialogs, 1) << "the disabled stop key opens the dialog";
  EXPECT_EQ(menus, 1);
}

// The volume button: without the volume control the box names the full path, and the dialog stays open.
TEST_F(PreRecorderWindowTest, VolumeButtonWithoutTheProgram) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof windows);
  const std::string expected = std::string(windows) + "\\system32\\sndvol32.exe";
  testkit::MessageBoxWatcher boxes;
  std::atomic<bool> seen{false}, stayedOpen{false}, icon{false};
  std::thread helper = Answer("#32770", kConfigTitle, [&](HWND dialog) {
    HWND button = GetDlgItem(dialog, IDC_CONFIG_VOLUME);
    icon = SendMessageA(button, BM_GETIMAGE, IMAGE_ICON, 0) != 0;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CONFIG_VOLUME, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    for (int i = 0; i < 500 && boxes.Texts().empty(); ++i) Sleep(10);
    // Once the dialog's thread has handled the click (its box is gone) it answers this.
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, 5000, nullptr);
    stayedOpen = IsWindow(dialog) && IsWindowVisible(dialog);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }, &seen);
  testkit::RightClickAt(hwnd_, kBackground.x, kBackground.y);
  PumpUntil([&] { return seen && !FindWindowA("#32770", kConfigTitle); });
  helper.join();
  ASSERT_TRUE(seen);
  EXPECT_TRUE(icon) << "the button shows icon 137";
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], expected + " not found!");
  EXPECT_TRUE(stayedOpen);
}

}  // namespace
