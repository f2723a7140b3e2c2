// The main window reached as a host reaches it: the real sondrel.oin loaded with
// LoadLibrary, driven through its exports, its window clicked with real mouse input
// and its pixels compared with the skin images of the same module. Loaded files,
// refusals and the close request are checked end to end (tests/e2e).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host/PluginLoader.h"
#include "tests/mainwindow/MainWindowKit.h"

using namespace mwkit;
using testkit::DataPath;

namespace {

// The host's callbacks are mwkit's recorder (g_host).

constexpr uint32_t kHandle = 0xC0DE;

// The host's settings file, which the window writes its position to.
std::string SettingsFile() {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof windows);
  return std::string(windows) + "\\orvanaudioengine.ini";
}

class PluginWindowTest : public ::testing::Test {
 protected:
  // The settings file is the machine's: put it back as it was after these tests.
  static void SetUpTestSuite() {
    savedSettings_ = testkit::ReadFileBytes(SettingsFile());
    hadSettings_ = GetFileAttributesA(SettingsFile().c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  static void TearDownTestSuite() {
    if (hadSettings_)
      testkit::WriteFileBytes(SettingsFile(), savedSettings_);
    else
      DeleteFileA(SettingsFile().c_str());
  }

  void SetUp() override {
    ClearHostLog();
    Load();
    CreateWindowThroughHost();
  }

  void TearDown() override {
    if (plugin_.Loaded()) Unload();
  }

  // Loads the plug-in and hands it what a host hands it before it makes a window.
  void Load() {
    std::string error;
    ASSERT_TRUE(plugin_.Load(testkit::BinPath("sondrel.oin"), &error)) << error;
    Api().setPluginHandle(kHandle);
    Api().setEventCallback(RecordEvent);
    Api().setInternalCallback(RecordInternal);
    SetupRecord setup = {{0, 4410, 0, 65536, 0, 0}};
    ASSERT_EQ(Api().setupAudioSystem(&setup), 1);
  }

  void Unload() {
    Api().destroyUserInterface();
    plugin_.Unload();
  }

  const hostkit::PluginApi& Api() const { return plugin_.Api(); }

  void CreateWindowThroughHost() {
    ASSERT_EQ(Api().createUserInterface(0, SW_SHOW), 1);
    hwnd_ = FindWindowA("Sondrel", "Orvan Sondrel");
    ASSERT_NE(hwnd_, nullptr);
    DWORD pid = 0;
    ASSERT_EQ(GetWindowThreadProcessId(hwnd_, &pid), GetCurrentThreadId());
    Rest();
  }

  void Rest() {
    testkit::MoveMouseTo(hwnd_, kRestPoint.x, kRestPoint.y);
    testkit::Settle();
  }

  void Click(const RECT& rect) { ClickAndRest(hwnd_, rect); }

  void Open(int c, const std::string& path) { ASSERT_TRUE(OpenWithDialog(hwnd_, c, path)); }

  testkit::Image Skin(int id) { return LoadSkin(plugin_.Module(), id); }

  // How far a strip control on the screen is from the given frame of its skin image.
  int Difference(const testkit::Image& shot, StripControl control, int c, int frame) {
    int id = control == kLed && frame == 1 ? 126 : SkinId(control);
    return FrameDifference(shot, StripRect(control, c), Skin(id), control == kLed ? 0 : frame, FrameCount(control),
                           DrawnAfter(control, c));
  }

  static std::vector<unsigned char> savedSettings_;
  static bool hadSettings_;
  hostkit::PluginLoader plugin_;
  HWND hwnd_ = nullptr;
};

std::vector<unsigned char> PluginWindowTest::savedSettings_;
bool PluginWindowTest::hadSettings_ = false;

// Frames of the skin images: a push button's 0 normal, 1 disabled; an unlit LED 0.
constexpr int kNormal = 0, kDisabled = 1;
constexpr int kUnlit = 0;

TEST_F(PluginWindowTest, FreshWindowIsTheSkinWithFourEmptyStrips) {
  testkit::Image shot = testkit::CaptureWindow(hwnd_);
  ASSERT_EQ(shot.width, 485);
  ASSERT_EQ(shot.height, 272);
  shot.SavePng(testkit::ScratchDir("mainwindow_shot_fresh") + "\\window.png");
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE("channel index " + std::to_string(c));
    EXPECT_EQ(Difference(shot, kOpen, c, kNormal), 0);
    EXPECT_EQ(Difference(shot, kClose, c, kDisabled), 0);
    EXPECT_EQ(Difference(shot, kPlay, c, kDisabled), 0);
    EXPECT_EQ(Difference(shot, kPause, c, kDisabled), 0);
    EXPECT_EQ(Difference(shot, kProps, c, kNormal), 0);
    EXPECT_EQ(Difference(shot, kSync, c, kNormal), 0);
    EXPECT_EQ(Difference(shot, kLoop, c, kNormal), 0);
    EXPECT_EQ(Difference(shot, kLed, c, kUnlit), 0);
    EXPECT_TRUE(shot.Filled(StripRect(kView, c), kEmptyStrip));
    // "audio track N" in green on black.
    bool green = false;
    EXPECT_GT(LitTextPixels(shot, StripRect(kName, c), &green), 40);
    EXPECT_TRUE(green);
  }
  EXPECT_EQ(FrameDifference(shot, ToggleRect(), Skin(129), 0, 4), 0);

  // Everywhere else inside the outline: the background.
  testkit::Image background = Skin(111);
  HRGN outline = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(hwnd_, outline), ERROR);
  int differ = 0, covered = 0;
  for (int y = 0; y < 272; ++y) {
    for (int x = 0; x < 485; ++x) {
      if (!PtInRegion(outline, x, y)) continue;
      POINT p = {x, y};
      RECT toggle = ToggleRect();
      bool onControl = PtInRect(&toggle, p);
      for (int c = 0; c < 4 && !onControl; ++c)
        for (int k = 0; k < kStripControlCount && !onControl; ++k) {
          RECT r = StripRect(StripControl(k), c);
          onControl = PtInRect(&r, p);
        }
      if (onControl) {
        ++covered;
        continue;
      }
      if (shot.At(x, y) != background.At(x, y)) ++differ;
    }
  }
  DeleteObject(outline);
  EXPECT_EQ(differ, 0);
  EXPECT_GT(covered, 4 * 315 * 26);
}

// The host may end the window at any moment, also while the user is in one of its dialogs.
TEST_F(PluginWindowTest, HostEndsTheWindowWhileItsDialogsAreOpen) {
  std::atomic<int> ended(-1);
  std::thread host([&] {
    if (testkit::FindDialog("Open Wave Ch1...", 20000)) ended = Api().destroyUserInterface();
  });
  Click(StripRect(kOpen, 0));
  PumpUntil([&] { return ended.load() >= 0; }, 20000);
  host.join();
  EXPECT_EQ(ended.load(), 1);
  EXPECT_FALSE(IsWindow(hwnd_));
  uint8_t* out = nullptr;
  int32_t count = 0;
  EXPECT_EQ(Api().readStreamChannel(0, &out, &count), 0);

  CreateWindowThroughHost();
  Open(0, DataPath("mainwindow\\stereo.wav"));
  ended = -1;
  host = std::thread([&] {
    if (testkit::FindDialog("Wavefile Properties", 20000)) ended = Api().destroyUserInterface();
  });
  Click(StripRect(kProps, 0));
  PumpUntil([&] { return ended.load() >= 0; }, 20000);
  host.join();
  EXPECT_EQ(ended.load(), 1);
  EXPECT_FALSE(IsWindow(hwnd_));
  // The channels stay as they were and the window shows them again.
  CreateWindowThroughHost();
  testkit::Image shot = testkit::CaptureWindow(hwnd_);
  EXPECT_GT(shot.Count(StripRect(kView, 1), kBlue), 300);
}

TEST_F(PluginWindowTest, PositionIsKeptInTheHostSettingsFile) {
  SetWindowPos(hwnd_, nullptr, 211, 143, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(Api().destroyUserInterface(), 1);
  char value[64] = "";
  GetPrivateProfileStringA("Orvan Sondrel", "MainWndPos", "", value, sizeof value, SettingsFile().c_str());
  EXPECT_STREQ(value, "211,143");

  // A new attach reads it from the file.
  plugin_.Unload();
  Load();
  CreateWindowThroughHost();
  RECT frame;
  GetWindowRect(hwnd_, &frame);
  EXPECT_EQ(frame.left, 211);
  EXPECT_EQ(frame.top, 143);
  // Positions off the screen are checked with the framework's window (WindowPlacement).
}

}  // namespace
