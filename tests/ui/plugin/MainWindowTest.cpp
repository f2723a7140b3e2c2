// The main window as the plug-in builds it, with the plug-in's own resources
// linked into the test: real clicks on every button and switch, the open
// dialog, the waveform picture and its cache, changes that arrive from other
// threads, the properties dialog's texts, and the close request to the host.
// Stereo strips are checked end to end (tests/e2e).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/HostTypes.h"
#include "tests/common/ErrorRecorder.h"
#include "tests/ui/plugin/MainWindowKit.h"
#include "ui/framework/FileDialog.h"
#include "ui/framework/ImageSwitch.h"
#include "ui/plugin/PositionView.h"
#include "ui/framework/PushButton.h"
#include "ui/framework/Surface.h"
#include "ui/framework/TextDisplay.h"
#include "ui/framework/ToggleButton.h"
#include "ui/plugin/ImageWorker.h"
#include "ui/plugin/MainWindow.h"
#include "util/Registry.h"

using namespace mwkit;
using testkit::DataPath;

namespace {

// The host's callbacks are mwkit's recorder (g_host).

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearHostLog();
    ini_ = testkit::ScratchDir("mainwindow_settings") + "\\settings.ini";
    settings_.SetFileName(ini_.c_str());
    settings_.SetQuiet(true);
    window_ = new MainWindow();
    ASSERT_TRUE(window_->Valid());
    window_->SetSettings(&settings_);
    SetupRecord setup = {{0, 4410, 0, 65536, 0, 0}};
    Engine().ApplySetup(setup);
    Engine().SetPluginHandle(0x5EED);
    Engine().SetEventCallback(RecordEvent);
    Engine().SetInternalCallback(RecordInternal);
    Create();
  }

  void TearDown() override {
    window_->DestroyUserInterface();
    delete window_;
  }

  void Create() {
    ASSERT_EQ(window_->CreateUserInterface(GetModuleHandleA(nullptr), nullptr, LoadCursorA(nullptr, IDC_ARROW), SW_SHOW),
              0);
    hwnd_ = window_->Handle();
    ASSERT_NE(hwnd_, nullptr);
    Rest();
  }

  // The pointer leaves every control, and pending paints are done.
  void Rest() {
    testkit::MoveMouseTo(hwnd_, kRestPoint.x, kRestPoint.y);
    testkit::Settle();
  }

  void Click(StripControl control, int c) { ClickAndRest(hwnd_, StripRect(control, c)); }

  // Opens path into channel c through the open button and the real open dialog.
  void OpenThroughDialog(int c, const std::string& path) {
    ASSERT_TRUE(OpenWithDialog(hwnd_, c, path));
    PumpUntil([&] { return Engine().Peek(c).loaded; });
  }

  ChannelEngine& Engine() { return window_->Engine(); }
  ChannelStrip& Strip(int c) { return window_->Strip(c); }
  testkit::Image Picture(int c) {
    return CaptureSurface(window_->StripImage(c)->Dc(), kStripImageWidth, kStripImageHeight);
  }

  Registry settings_;
  std::string ini_;
  MainWindow* window_ = nullptr;
  HWND hwnd_ = nullptr;
};

const RECT kWholePicture = {0, 0, kStripImageWidth, kStripImageHeight};

// What the host receives from clicks, pauses and sync switches is checked end to
// end (tests/e2e); here the switches' own state.
TEST_F(MainWindowTest, ButtonsAndSwitchesActOnTheChannel) {
  OpenThroughDialog(0, DataPath("mainwindow\\tone.wav"));
  ASSERT_TRUE(Engine().Peek(0).loaded);
  EXPECT_STREQ(Strip(0).Name()->Text(), "tone.wav");
  ChannelStrip& strip = Strip(0);

  // A refused start: the switch stays off, since only the channel's state moves it.
  // Errors the window and the channels report, instead of message boxes.
  testkit::ErrorRecorder errors;
  g_host.refuse = kEventStart;
  Click(kPlay, 0);
  EXPECT_EQ(Engine().Peek(0).state, kStopped);
  EXPECT_FALSE(strip.PlayStop()->On());
  EXPECT_EQ(strip.PlayStop()->State(), kStateNormal);
  EXPECT_EQ(errors.codes, std::vector<int>{34});

  g_host.refuse = 0;
  Click(kPlay, 0);
  EXPECT_EQ(Engine().Peek(0).state, kPlaying);
  EXPECT_TRUE(strip.PlayStop()->On() && strip.Led()->On() && strip.Pause()->Enabled());
  Click(kLoop, 0);
  EXPECT_TRUE(Engine().Peek(0).loop);
  Click(kPlay, 0);
  EXPECT_EQ(Engine().Peek(0).state, kStopped);
  EXPECT_FALSE(strip.PlayStop()->On() || strip.Led()->On() || strip.Pause()->Enabled());

  Click(kClose, 0);
  EXPECT_FALSE(Engine().Peek(0).loaded);
  EXPECT_STREQ(strip.Name()->Text(), "audio track 1");
  EXPECT_FALSE(strip.Close()->Enabled());
  // The loop flag stays with the channel, and the switch with it.
  EXPECT_TRUE(strip.Loop()->On());

  // Pause and properties on an empty channel do nothing; the toggle has nothing to show yet.
  size_t events = g_host.events.size();
  {
    DialogGuard dialogs;
    Click(kProps, 0);
    EXPECT_EQ(dialogs.Count(), 0) << "a properties dialog for an empty channel";
  }
  POINT toggle = Middle(ToggleRect());
  testkit::ClickAt(hwnd_, toggle.x, toggle.y);
  Rest();
  EXPECT_EQ(g_host.events.size(), events);
  EXPECT_TRUE(errors.codes.size() == 1u);
}

// The properties dialog's texts for a file, opened by a real click on its button.
// Whether an item's whole text, wrapped at its words, fits into its client area.
bool TextFits(HWND item) {
  char text[512] = "";
  GetWindowTextA(item, text, sizeof text);
  RECT client, needed;
  GetClientRect(item, &client);
  needed = client;
  HDC dc = GetDC(item);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(item, WM_GETFONT, 0, 0)));
  DrawTextA(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(item, dc);
  return needed.right <= client.right && needed.bottom <= client.bottom;
}

// The dialog's texts in field order; with a last entry "fits" or "cut" for the skipped chunks.
std::vector<std::string> PropertiesTexts(MainWindowTest* test, HWND hwnd, int c) {
  std::vector<std::string> texts;
  std::thread user([&] {
    HWND dialog = testkit::FindDialog("Wavefile Properties", 10000);
    if (!dialog) return;
    for (int item : {1005, 1010, 1011, 1006, 1007, 1012, 1008, 1009, 1026, 1023}) texts.push_back(ItemText(dialog, item));
    texts.push_back(TextFits(GetDlgItem(dialog, 1026)) ? "fits" : "cut");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  POINT p = Middle(StripRect(kProps, c));
  testkit::ClickAt(hwnd, p.x, p.y);
  testkit::MoveMouseTo(hwnd, kRestPoint.x, kRestPoint.y);
  user.join();
  return texts;
}

TEST_F(MainWindowTest, PropertiesShowTheFormatChunk) {
  int32_t partner;
  ASSERT_EQ(Engine().LoadChannel(0, DataPath("mainwindow\\stereo.wav").c_str(), &partner), 0);
  ASSERT_EQ(Engine().LoadChannel(2, DataPath("mainwindow\\fmt18.wav").c_str(), &partner), 0);
  Rest();
  std::vector<std::string> plain = {"stereo.wav", "PCM", "2", "44100", "176400", "4", "16", "", "",
                                    "Total runtime is 00:00:02 ...", "fits"};
  EXPECT_EQ(PropertiesTexts(this, hwnd_, 0), plain);
  std::vector<std::string> longer = {"fmt18.wav", "PCM", "2", "44100", "176400", "4", "16",
                                     "Chunk has 2 Bytes additional data!", "'LIST';", "Total runtime is 00:00:01 ...",
                                     "fits"};
  EXPECT_EQ(PropertiesTexts(this, hwnd_, 2), longer);

  // Eight chunks passed over, one before the format chunk: every name is shown.
  ASSERT_EQ(Engine().LoadChannel(0, DataPath("mainwindow\\instant.wav").c_str(), &partner), 0);
  Rest();
  std::vector<std::string> instant = PropertiesTexts(this, hwnd_, 0);
  ASSERT_EQ(instant.size(), 11u);
  EXPECT_EQ(instant[8], "'bext'; 'JUNK'; 'LIST'; 'fact'; 'cue '; 'smpl'; 'inst'; 'acid';");
  EXPECT_EQ(instant[9], "Total runtime is 00:00:00 ...");
  EXPECT_EQ(instant[10], "fits");
}

TEST_F(MainWindowTest, StreamingThreadMovesTheMarkerAndStopsTheChannel) {
  int32_t partner;
  ASSERT_EQ(Engine().LoadChannel(0, DataPath("mainwindow\\tone.wav").c_str(), &partner), 0);
  ASSERT_TRUE(Engine().PlayStop(0));
  Rest();
  ASSERT_TRUE(Strip(0).PlayStop()->On());

  // Half of the 3 s file, 50 ms per block, read on another thread as the host does.
  auto stream = [&](int blocks) {
    std::thread host([&] {
      uint8_t* out;
      int32_t count;
      for (int i = 0; i < blocks; ++i) Engine().ReadStreamChannel(0, &out, &count);
    });
    host.join();
  };
  stream(30);
  Rest();
  int32_t marker = Strip(0).View()->MarkerX();
  ASSERT_GT(marker, 100);
  ASSERT_LT(marker, 215);
  testkit::Image shot = testkit::CaptureWindow(hwnd_);
  RECT view = StripRect(kView, 0);
  EXPECT_EQ(shot.Count({view.left + marker, view.top, view.left + marker + 1, view.bottom}, kRed), kStripImageHeight);

  // The end of the file stops the channel on the streaming thread; the window shows it when it paints.
  stream(40);
  EXPECT_EQ(Engine().Peek(0).state, kStopped);
  PumpUntil([&] { return !Strip(0).PlayStop()->On(); });
  EXPECT_FALSE(Strip(0).PlayStop()->On());
  EXPECT_FALSE(Strip(0).Led()->On());
  EXPECT_EQ(Strip(0).View()->MarkerX(), 0);
  // Four of five hours played: width times elapsed needs more than 32 bits.
  PlayPosition& position = Engine().Position(0);
  position.length = 18000000;
  position.elapsed = 14400000;
  EXPECT_EQ(Strip(0).View()->MarkerX(), 252);
  position.elapsed = 0;
  shot = testkit::CaptureWindow(hwnd_);
  EXPECT_EQ(shot.Count(view, kRed), Picture(0).Count(kWholePicture, kRed));
}

TEST_F(MainWindowTest, WindowComesAndGoesWhileTheHostStreams) {
  int32_t partner;
  ASSERT_EQ(Engine().LoadChannel(1, DataPath("mainwindow\\stereo.wav").c_str(), &partner), 0);
  ASSERT_TRUE(Engine().SetLoop(1, true));
  ASSERT_TRUE(Engine().PlayStop(1));
  std::atomic<bool> stop(false);
  std::atomic<int> delivered(0);
  std::thread host([&] {
    while (!stop) {
      for (int c = 0; c < 4; ++c) {
        uint8_t* out;
        int32_t count;
        if (Engine().ReadStreamChannel(c, &out, &count)) ++delivered;
      }
      Sleep(1);
    }
  });
  for (int round = 0; round < 6; ++round) {
    EXPECT_EQ(window_->DestroyUserInterface(), 1);
    EXPECT_FALSE(IsWindow(hwnd_));
    testkit::Settle();
    Create();
    testkit::Settle();
  }
  // Let the host thread reach a fair number of reads even on a slow machine.
  for (DWORD start = GetTickCount(); delivered.load() <= 100 && GetTickCount() - start < 10000;) Sleep(10);
  stop = true;
  host.join();
  EXPECT_GT(delivered.load(), 100);
  // The new window shows the channels as they are.
  EXPECT_STREQ(Strip(1).Name()->Text(), "stereo.wav");
  EXPECT_STREQ(Strip(2).Name()->Text(), "stereo.wav[right]");
  EXPECT_TRUE(Strip(1).PlayStop()->On());
  EXPECT_TRUE(Strip(1).Loop()->On());
  EXPECT_TRUE(Strip(2).Led()->On());
  EXPECT_FALSE(Strip(2).Open()->Visible());
  EXPECT_GT(Picture(1).Count(kWholePicture, kRed), 500);

  // The host's new set-up, on its own thread, empties the channels; the window follows.
  std::thread setup([&] {
    SetupRecord record = {{0, 8820, 0, 65536, 0, 0}};
    Engine().ApplySetup(record);
  });
  setup.join();
  PumpUntil([&] { return Strip(2).Open()->Visible(); });
  EXPECT_STREQ(Strip(1).Name()->Text(), "audio track 2");
  EXPECT_STREQ(Strip(2).Name()->Text(), "audio track 3");
  EXPECT_FALSE(Strip(1).PlayStop()->On());
  EXPECT_EQ(Picture(2).Count(kWholePicture, kEmptyStrip), kStripImageWidth * kStripImageHeight);
}

// The close request's record is checked end to end (tests/e2e, system_close).
// The close key's request to the host is checked end to end (tests/e2e, system_close).
TEST_F(MainWindowTest, ASecondCreateMakesNoSecondWindow) {
  EXPECT_EQ(window_->CreateUserInterface(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOW), 0);
  EXPECT_EQ(window_->Handle(), hwnd_);
}

}  // namespace
