// The main window reached as a host reaches it: the real sondrel.oin loaded with
// LoadLibrary, driven through its exports, its window clicked with real mouse input
// as a person uses it. How it looks, loaded files, refusals and the close request
// are checked end to end (tests/e2e).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host/PluginLoader.h"
#include "tests/ui/plugin/MainWindowKit.h"

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

  static std::vector<unsigned char> savedSettings_;
  static bool hadSettings_;
  hostkit::PluginLoader plugin_;
  HWND hwnd_ = nullptr;
};

std::vector<unsigned char> PluginWindowTest::savedSettings_;
bool PluginWindowTest::hadSettings_ = false;

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
