// The real plug-in in orvan-host.exe processes, where only a process of its own
// shows it: locks shared with a second process, the plug-in without its shared
// library or with it beside the plug-in instead of the host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/TestKit.h"

namespace {

using testkit::JsonFields;

// A session's folder with its script written.
struct Session {
  std::string dir, script, out;
  Session(const std::string& name, const std::string& text) {
    dir = testkit::ScratchDir(name);
    script = dir + "\\session.txt";
    out = dir + "\\out";
    testkit::WriteTextFile(script, text);
  }
  std::vector<JsonFields> Events(const std::string& type = "") const {
    return testkit::ReadJsonLines(out + "\\events.jsonl", type);
  }
};

// A 22050 Hz mono file: opening it into a channel is refused by the format converter (17).
std::string WriteSlowFile(const std::string& dir) {
  std::vector<unsigned char> wave(44 + 2000, 0);
  auto put32 = [&](size_t at, uint32_t v) { memcpy(&wave[at], &v, 4); };
  auto put16 = [&](size_t at, uint16_t v) { memcpy(&wave[at], &v, 2); };
  memcpy(&wave[0], "RIFF", 4);
  put32(4, 36 + 2000);
  memcpy(&wave[8], "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, 1);
  put32(24, 22050);
  put32(28, 44100);
  put16(32, 2);
  put16(34, 16);
  memcpy(&wave[36], "data", 4);
  put32(40, 2000);
  std::string path = dir + "\\slow.wav";
  testkit::WriteFileBytes(path, wave);
  return path;
}

TEST(HostWithSondrel, WithoutTheSharedLibraryTheUserIsToldAndErrorsShowInPlainBoxes) {
  std::string dir = testkit::ScratchDir("host_no_shared_library");
  ASSERT_TRUE(CopyFileA(testkit::BinPath("orvan-host.exe").c_str(), (dir + "\\orvan-host.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(testkit::BinPath("sondrel.oin").c_str(), (dir + "\\sondrel.oin").c_str(), FALSE));
  ASSERT_TRUE(
      testkit::WriteTextFile(dir + "\\session.txt", "setup 4410 65536\nui create\nopen 1 " + WriteSlowFile(dir) + "\n"));
  std::string out = dir + "\\out";
  testkit::ProcessResult run = testkit::RunProgram(
      testkit::HostCommandLine({"run", dir + "\\session.txt", "--out", out}, dir + "\\orvan-host.exe"), dir);
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  std::vector<JsonFields> events = testkit::ReadJsonLines(out + "\\events.jsonl");
  ASSERT_GE(events.size(), 2u);
  // The box comes after the attach has returned (not under the loader lock), at the
  // host's first call that is not a constant.
  EXPECT_EQ(events[0]["type"], "load");
  EXPECT_EQ(events[1]["type"], "messagebox");
  EXPECT_EQ(events[1]["text"],
            "VKL Shared Library VKLShared.dll not found.\nOrvan Audio Engine v0.1b cannot run without this file!");
  std::vector<JsonFields> boxes = testkit::ReadJsonLines(out + "\\events.jsonl", "messagebox");
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_EQ(boxes.back()["text"].rfind("Waveformat Converter\n\nError 17: ", 0), 0u) << boxes.back()["text"];
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
  EXPECT_TRUE(testkit::ReadJsonLines(out + "\\events.jsonl", "messagebox").empty());
}

TEST(HostWithSondrel, ASecondProcessOpensTheSameFourLocks) {
  for (int c = 0; c < 4; ++c) ASSERT_FALSE(testkit::ChannelLockExists(c)) << "another holder has ChannelLock" << c;
  HMODULE first = LoadLibraryA(testkit::BinPath("sondrel.oin").c_str());
  ASSERT_NE(first, nullptr);
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(testkit::ChannelLockExists(c));

  // The second host keeps its plug-in until it is ended below.
  Session session("host_second_process", "setup 4410 65536\nwait 120000\n");
  testkit::ChildProcess second;
  ASSERT_TRUE(second.Start(testkit::HostCommandLine({"run", session.script, "--out", session.out})));
  // Wait until the second process's plug-in is attached and set up.
  bool attached = false;
  for (int i = 0; i < 500 && !attached; ++i) {
    for (JsonFields& call : session.Events("call")) attached = attached || call["name"] == "setupAudioSystem";
    if (!attached) Sleep(20);
  }
  ASSERT_TRUE(attached);

  // With this process's copy gone the locks live on, held by the second process's.
  ASSERT_TRUE(FreeLibrary(first));
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(testkit::ChannelLockExists(c)) << c;
  // Still running, so the checks above saw its locks; ending it takes them along.
  EXPECT_FALSE(second.Wait(0)) << "the second host ended early: " << second.Err();
  for (int c = 0; c < 4; ++c) EXPECT_FALSE(testkit::ChannelLockExists(c)) << c;
}

}  // namespace
