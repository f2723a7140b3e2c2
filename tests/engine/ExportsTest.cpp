// The host's streaming exports reach the channel engine of the loaded plug-in.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "host/PluginLoader.h"
#include "tests/common/TestKit.h"

namespace {

DWORD WINAPI HoldLock0(void* argument) {
  HANDLE* events = static_cast<HANDLE*>(argument);  // [0] taken, [1] let go
  HANDLE lock = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "ChannelLock0");
  if (!lock || WaitForSingleObject(lock, 5000) != WAIT_OBJECT_0) return 1;
  SetEvent(events[0]);
  WaitForSingleObject(events[1], 10000);
  ReleaseMutex(lock);
  CloseHandle(lock);
  return 0;
}

TEST(StreamingExports, ReachTheEngine) {
  hostkit::PluginLoader plugin;
  std::string error;
  ASSERT_TRUE(plugin.Load(testkit::BinPath("sondrel.oin"), &error)) << error;
  const hostkit::PluginApi& api = plugin.Api();

  SetupRecord record = {{0, 4410, 0, 65536, 0, 0}};
  EXPECT_EQ(api.setupAudioSystem(&record), 1);
  uint8_t sentinel = 0;
  uint8_t* out = &sentinel;
  int32_t count = -3;
  EXPECT_EQ(api.readStreamChannel(0, &out, &count), 0);  // empty channel
  EXPECT_EQ(api.readStreamChannel(4, &out, &count), 0);  // no such channel
  EXPECT_EQ(out, &sentinel);
  EXPECT_EQ(count, -3);
  api.onStreamingError(0, 0);

  // With channel 0's lock held elsewhere the export waits its bounded 50 ms for it.
  HANDLE events[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE holder = CreateThread(nullptr, 0, HoldLock0, events, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(events[0], 5000), WAIT_OBJECT_0);
  DWORD start = GetTickCount();
  EXPECT_EQ(api.readStreamChannel(0, &out, &count), 0);
  DWORD waited = GetTickCount() - start;
  EXPECT_GE(waited, 40u);
  EXPECT_LT(waited, 1000u);
  SetEvent(events[1]);
  WaitForSingleObject(holder, INFINITE);
  CloseHandle(holder);
  CloseHandle(events[0]);
  CloseHandle(events[1]);
}

}  // namespace
