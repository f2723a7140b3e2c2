// The plug-in object in this process, bound to the real VKLShared.dll beside
// the test: errors reach the user as the boxes the host records, the main
// window object carries the host's callbacks. The channel locks' life is checked
// over load and unload cycles of the real DLL (ExportsTest).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "core/ErrorCodes.h"
#include "engine/Channel.h"
#include "plugin/ModuleResources.h"
#include "plugin/Plugin.h"
#include "tests/common/TestKit.h"
#include "plugin/SharedLibrary.h"
#include "ui/plugin/MainWindow.h"
#include "vklshared/VKLShared.h"

// While set, a nothrow array allocation of the engine's four channel records fails.
volatile LONG g_refuseChannelRecords = 0;
volatile LONG g_refused = 0;

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  // Four records, with room for an array cookie.
  const std::size_t records = kNumChannels * sizeof(Channel);
  if (g_refuseChannelRecords && size >= records && size <= records + 16) {
    InterlockedIncrement(&g_refused);
    return nullptr;
  }
  return malloc(size ? size : 1);
}

namespace {

class Probe : public Object {
 public:
  explicit Probe(int32_t id) { classId_ = id; }
};

std::string Expected(const char* source, int code, const char* text) {
  return std::string(source) + "\n\nError " + std::to_string(code) + ": " + text;
}

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(plugin_.Initialize()); }
  void TearDown() override { EXPECT_TRUE(plugin_.Terminate()); }

  // The texts of the boxes shown while running action.
  template <typename Action>
  std::vector<std::string> BoxesOf(Action action, size_t expected, DWORD timeoutMs = 20000) {
    watcher_.Clear();
    action();
    watcher_.WaitFor(expected, timeoutMs);
    return watcher_.Texts();
  }

  testkit::MessageBoxWatcher watcher_;
  Plugin plugin_{GetModuleHandleA(nullptr)};
};

TEST_F(PluginTest, BoxesCarryTheLibrarysTextUpToHundredAndThePlainTextAboveIt) {
  Probe converter(kWaveformatConverter), device(kWaveInput);
  device.SetErrorText("The device is busy.");
  auto boxes = BoxesOf(
      [&] {
        converter.ReportError(Error::FormatNotConvertible);
        device.ReportError(100);
        device.ReportError(101);
        plugin_.ShowError(Error::HostRefusedStart, "Plugin");
      },
      4);
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0], Expected("Waveformat Converter", 17, ErrorCodeText(17)));
  EXPECT_EQ(boxes[1], Expected("The device is busy.", 100, "error 100"));  // no text of its own
  EXPECT_EQ(boxes[2], "The device is busy.");
  EXPECT_EQ(boxes[3], Expected("Plugin", 34, "The audio engine refused to start playing."));
}

// The whole records events carry are checked in the engine tests and end to end.
int32_t RecordEvent(EventRecord*) { return 0; }

TEST_F(PluginTest, WithoutCallbacksEventsCountAsAcceptedAndCommandsVanish) {
  ChannelEngine& engine = plugin_.Main()->Engine();
  EXPECT_EQ(engine.SendEvent(kEventStart, 0, 0), 1);
  EXPECT_EQ(engine.SendEvent(kEventChannelOpen, 1, 0), 1);
  engine.SendInternal(kCommandCloseWindow);
  // Set and then cleared again by the host.
  plugin_.SetEventCallback(RecordEvent);
  plugin_.SetEventCallback(nullptr);
  EXPECT_EQ(engine.SendEvent(kEventChannelClose, 1, 0), 1);
}

TEST(PluginAttach, AChannelLockThatCouldNotBeMadeIsShownAtTheHostsFirstCall) {
  // The name is taken by another kind of object: the lock cannot be made.
  HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, "ChannelLock2");
  ASSERT_NE(squatter, nullptr);
  testkit::MessageBoxWatcher watcher;
  std::vector<std::string> atAttach, atFirstCall;
  {
    Plugin plugin(GetModuleHandleA(nullptr));
    ASSERT_TRUE(plugin.Initialize());
    // A box is modal: one shown during the attach has been recorded when Initialize returns.
    atAttach = watcher.Texts();
    plugin.ShowAttachNotices();
    watcher.WaitFor(1, 3000);
    atFirstCall = watcher.Texts();
    EXPECT_TRUE(plugin.Terminate());
  }
  CloseHandle(squatter);
  EXPECT_TRUE(atAttach.empty());
  ASSERT_EQ(atFirstCall.size(), 1u);
  EXPECT_NE(atFirstCall[0].find(std::string("Error 36: ") + ErrorCodeText(36)), std::string::npos) << atFirstCall[0];
}

TEST(PluginAttach, WithoutItsChannelRecordsThePluginReports19AndAnswersAsAnEmptyOne) {
  testkit::MessageBoxWatcher watcher;
  Plugin plugin(GetModuleHandleA(nullptr));
  InterlockedExchange(&g_refuseChannelRecords, 1);
  EXPECT_TRUE(plugin.Initialize());
  InterlockedExchange(&g_refuseChannelRecords, 0);
  ASSERT_EQ(g_refused, 1);
  plugin.ShowAttachNotices();
  watcher.WaitFor(1, 3000);
  std::vector<std::string> boxes = watcher.Texts();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Error 19: "), std::string::npos) << boxes[0];
  // Every export that reaches the channels goes through Main(): none may find them.
  EXPECT_EQ(plugin.Main(), nullptr);
  EXPECT_TRUE(plugin.Terminate());
}

TEST(SharedLibraryTexts, KnownCodesHaveTextsOfTheirOwnAndUnknownCodesAreNamed) {
  HMODULE library = LoadLibraryA(testkit::BinPath("VKLShared.dll").c_str());
  ASSERT_NE(library, nullptr);
  auto getText = reinterpret_cast<GetErrorTextFn>(reinterpret_cast<void*>(GetProcAddress(library, "GetErrorText")));
  auto help = reinterpret_cast<HandleVKLHelpFn>(reinterpret_cast<void*>(GetProcAddress(library, "HandleVKLHelp")));
  ASSERT_NE(getText, nullptr);
  ASSERT_NE(help, nullptr);
  // Every code the plug-in reports, and codes it never reports.
  std::set<std::string> seen;
  for (int code : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 15, 16, 17, 18, 19, 28, 32, 33, 34, 35, 36, 46, 101}) {
    char text[kErrorTextSize];
    memset(text, 'x', sizeof text);
    getText(code, text);
    ASSERT_LT(strnlen(text, sizeof text), sizeof text) << code;
    EXPECT_NE(std::string(text), "error " + std::to_string(code)) << "no text of its own";
    EXPECT_TRUE(seen.insert(text).second) << code << " shares its text: " << text;
  }
  for (int code : {11, 14, 100, 201, -3}) {
    char text[kErrorTextSize];
    getText(code, text);
    EXPECT_EQ(std::string(text), "error " + std::to_string(code));
  }
  // No page beside the library: nothing is opened.
  EXPECT_EQ(help("no-such-page.html", 0, 0, 0), 0);
  FreeLibrary(library);
}

TEST(ModuleResourcesTest, CursorAndIconAreDestroyedForRealEveryCycle) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  for (int cycle = 0; cycle < 200; ++cycle) {
    ModuleResources resources;
    ASSERT_TRUE(resources.Load(self)) << cycle;
    ASSERT_NE(resources.Cursor(), nullptr);
    ASSERT_NE(resources.Icon(), nullptr);
    ASSERT_TRUE(resources.Release()) << cycle;
    EXPECT_EQ(resources.Cursor(), nullptr);
    EXPECT_TRUE(resources.Release());
  }
}

}  // namespace
