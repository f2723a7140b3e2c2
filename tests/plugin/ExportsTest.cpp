// The real sondrel.oin loaded into this process as the host loads it: what the
// exports answer before anything else, what they write, and load and unload
// cycles leaving nothing behind.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "host/PluginLoader.h"
#include "tests/common/TestKit.h"

namespace {

// Bytes in use in every heap of the process.
size_t HeapBytesInUse() {
  HANDLE heaps[64];
  DWORD count = GetProcessHeaps(64, heaps);
  size_t used = 0;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heaps[i], &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += entry.cbData;
    HeapUnlock(heaps[i]);
  }
  return used;
}

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(plugin_.Load(testkit::BinPath("sondrel.oin"), &error)) << error;
  }
  void TearDown() override {
    plugin_.Unload();
    EXPECT_TRUE(watcher_.Texts().empty()) << watcher_.Texts()[0];
  }

  testkit::MessageBoxWatcher watcher_;
  hostkit::PluginLoader plugin_;
};

TEST_F(ExportsTest, PluginInfoWritesItsSevenFieldsAndNoOtherByte) {
  using namespace PluginInfo;
  const uint8_t kFill = 0xA5;
  uint8_t record[1024];
  memset(record, kFill, sizeof record);
  plugin_.Api().getPluginInfo(record);

  // Each text field holds a terminated, non-empty text; the word after them is 0.
  const size_t fields[][2] = {{kFullName, kFullNameSize}, {kShortName, kShortNameSize}, {kInputKind, kInputKindSize},
                              {kCopyright, kCopyrightSize}, {kVersion, kVersionSize},   {kUrl, kUrlSize}};
  std::vector<bool> written(sizeof record, false);
  for (const auto& field : fields) {
    size_t length = strnlen(reinterpret_cast<const char*>(record + field[0]), field[1]);
    ASSERT_LT(length, field[1]) << "field at " << field[0] << " is not terminated";
    EXPECT_GT(length, 0u) << "field at " << field[0] << " is empty";
    for (size_t i = 0; i <= length; ++i) written[field[0] + i] = true;
  }
  uint32_t word;
  memcpy(&word, record + kWord592, sizeof word);
  EXPECT_EQ(word, 0u);
  for (size_t i = 0; i < 4; ++i) written[kWord592 + i] = true;
  for (size_t i = 0; i < sizeof record; ++i) {
    if (!written[i]) {
      ASSERT_EQ(record[i], kFill) << "byte " << i << " was touched";
    }
  }
}

TEST_F(ExportsTest, ReadStreamChannelOutsideTheChannelsOrWithoutAFileTouchesNothing) {
  const hostkit::PluginApi& api = plugin_.Api();
  uint8_t sentinel = 0;
  for (int32_t channel : {-1, 4, 5, 1000, INT_MIN, INT_MAX, 0, 1, 2, 3}) {
    uint8_t* buffer = &sentinel;
    int32_t count = -77;
    EXPECT_EQ(api.readStreamChannel(channel, &buffer, &count), 0) << channel;
    EXPECT_EQ(buffer, &sentinel) << channel;
    EXPECT_EQ(count, -77) << channel;
  }
  EXPECT_EQ(api.readStreamChannel(0, nullptr, nullptr), 0);
  api.onStreamingError(1, 2);
}

TEST_F(ExportsTest, SwitchingAndEndingAWindowThatWasNeverMadeDoNothing) {
  const hostkit::PluginApi& api = plugin_.Api();
  api.onPluginSwitch(0);
  api.onPluginSwitch(1);
  EXPECT_EQ(api.destroyUserInterface(), 0);
}

TEST(ExportsCycles, TwoHundredLoadsAndUnloadsLeaveNothingBehind) {
  testkit::MessageBoxWatcher watcher;
  const std::string path = testkit::BinPath("sondrel.oin");
  for (int c = 0; c < 4; ++c) ASSERT_FALSE(testkit::ChannelLockExists(c)) << "another holder has ChannelLock" << c;
  size_t heapAfterWarmUp = 0;
  const int kCycles = 200, kWarmUp = 20;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    if (cycle == kWarmUp) heapAfterWarmUp = HeapBytesInUse();
    HMODULE module = LoadLibraryA(path.c_str());
    ASSERT_NE(module, nullptr) << "cycle " << cycle;
    auto version = reinterpret_cast<GetInterfaceVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "getInterfaceVersion")));
    ASSERT_NE(version, nullptr);
    ASSERT_EQ(version(), 257);
    for (int c = 0; c < 4; ++c) ASSERT_TRUE(testkit::ChannelLockExists(c)) << "cycle " << cycle << " lock " << c;
    ASSERT_NE(GetModuleHandleA("VKLShared.dll"), nullptr);
    ASSERT_TRUE(FreeLibrary(module));
    ASSERT_EQ(GetModuleHandleA("sondrel.oin"), nullptr) << "cycle " << cycle;
    ASSERT_EQ(GetModuleHandleA("VKLShared.dll"), nullptr) << "cycle " << cycle;
    for (int c = 0; c < 4; ++c) ASSERT_FALSE(testkit::ChannelLockExists(c)) << "cycle " << cycle << " lock " << c;
  }
  long long growth = (long long)HeapBytesInUse() - (long long)heapAfterWarmUp;
  // One cycle's plug-in, settings store, main window object and library table
  // come to well over a kilobyte: leaking them would show many times over.
  EXPECT_LT(growth, 60 * 1024) << "heap grew by " << growth << " bytes over " << (kCycles - kWarmUp) << " cycles";
  EXPECT_TRUE(watcher.Texts().empty());
}

}  // namespace
