// The real plug-in in orvan-host.exe processes, where only a process of its own
// shows it: the plug-in without its shared library or with it beside the plug-in
// instead of the host. Locks shared with a second process: ContentionTest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/JsonLog.h"
#include "host/StreamingThread.h"
#include "tests/common/TestKit.h"

namespace {

// The lines of a run's events.jsonl (one compact object per line).
std::vector<std::string> Events(const std::string& out) { return testkit::ReadLines(out + "\\events.jsonl"); }
// "key":"text" as the host writes it; without its closing quote when open.
std::string Field(const char* key, const std::string& text, bool open = false) {
  std::string field = hostkit::JsonString(key) + ":" + hostkit::JsonString(text);
  return open ? field.substr(0, field.size() - 1) : field;
}
bool Has(const std::string& line, const std::string& field) { return line.find(field) != std::string::npos; }
std::vector<std::string> Boxes(const std::string& out) {
  std::vector<std::string> boxes;
  for (const std::string& line : Events(out))
    if (Has(line, Field("type", "messagebox"))) boxes.push_back(line);
  return boxes;
}

TEST(HostWithSondrel, WithoutTheSharedLibraryTheUserIsToldAndErrorsShowInPlainBoxes) {
  std::string dir = testkit::ScratchDir("host_no_shared_library");
  ASSERT_TRUE(CopyFileA(testkit::BinPath("orvan-host.exe").c_str(), (dir + "\\orvan-host.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(testkit::BinPath("sondrel.oin").c_str(), (dir + "\\sondrel.oin").c_str(), FALSE));
  ASSERT_TRUE(
      // 4000 Hz: the format converter refuses the file (17).
      testkit::WriteTextFile(dir + "\\session.txt", "setup 4410 65536\nui create\nopen 1 " +
                                                      testkit::DataPath("engine\\rate4000.wav") + "\n"));
  std::string out = dir + "\\out";
  testkit::ProcessResult run = testkit::RunProgram(
      testkit::HostCommandLine({"run", dir + "\\session.txt", "--out", out}, dir + "\\orvan-host.exe"), dir);
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  std::vector<std::string> events = Events(out);
  ASSERT_GE(events.size(), 2u);
  // The box comes after the attach has returned (not under the loader lock), at the
  // host's first call that is not a constant.
  EXPECT_TRUE(Has(events[0], Field("type", "load"))) << events[0];
  EXPECT_TRUE(Has(events[1], Field("type", "messagebox")) &&
              Has(events[1], Field("text", "VKL Shared Library VKLShared.dll not found.\nOrvan Audio Engine v0.1b "
                                           "cannot run without this file!")))
      << events[1];
  std::vector<std::string> boxes = Boxes(out);
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_TRUE(Has(boxes.back(), Field("text", "Waveformat Converter\n\nError 17: ", true))) << boxes.back();
}

TEST(HostWithSondrel, TheSharedLibraryBesideThePluginIsFoundWhenTheHostHasNone) {
  std::string dir = testkit::ScratchDir("host_plugin_elsewhere");
  std::string hostDir = dir + "\\host", pluginDir = dir + "\\plugin";
  ASSERT_TRUE(CreateDirectoryA(hostDir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(CreateDirectoryA(pluginDir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(CopyFileA(testkit::BinPath("orvan-host.exe").c_str(), (hostDir + "\\orvan-host.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(testkit::BinPath("sondrel.oin").c_str(), (pluginDir + "\\sondrel.oin").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(testkit::BinPath("VKLShared.dll").c_str(), (pluginDir + "\\VKLShared.dll").c_str(), FALSE));
  ASSERT_TRUE(testkit::WriteTextFile(dir + "\\session.txt", "setup 4410 65536\n"));
  std::string out = dir + "\\out";
  testkit::ProcessResult run = testkit::RunProgram(
      testkit::HostCommandLine({"run", dir + "\\session.txt", "--out", out, "--plugin", pluginDir + "\\sondrel.oin"},
                               hostDir + "\\orvan-host.exe"),
      hostDir);
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_TRUE(Boxes(out).empty());
}

// A plug-in that stays in readStreamChannel until released.
HANDLE g_entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
HANDLE g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
int32_t StuckRead(int32_t, uint8_t**, int32_t*) {
  SetEvent(g_entered);
  WaitForSingleObject(g_release, 60000);
  return 0;
}
struct CountingSink : hostkit::PeriodSink {
  volatile LONG calls = 0;
  void OnChannelRead(uint32_t, int, int32_t, const uint8_t*, int32_t) override { InterlockedIncrement(&calls); }
};

TEST(StreamingThread, AThreadStuckInThePlugInOutlivesItsOwnerSafely) {
  hostkit::PluginApi api = {};
  api.readStreamChannel = &StuckRead;
  CountingSink sink;
  hostkit::StreamingThread* streaming = new hostkit::StreamingThread(api, sink);
  ASSERT_TRUE(streaming->Start());
  HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, streaming->ThreadId());
  ASSERT_NE(thread, nullptr);
  EXPECT_FALSE(streaming->Pull(1, 0, 0));
  ASSERT_EQ(WaitForSingleObject(g_entered, 10000), WAIT_OBJECT_0);
  streaming->SetFinalStopWait(0);
  delete streaming;  // its stop times out: the thread is still in the plug-in
  SetEvent(g_release);
  // Back from the plug-in, the thread hands nothing to the gone owner's sink and ends.
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(sink.calls, 0);
  CloseHandle(thread);
}

}  // namespace
