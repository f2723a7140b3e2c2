// orvan-host.exe run as its own process: what `info` prints, how the loader
// fails, and scripted sessions with the stand-in plug-in (callbacks, policy,
// threads, delivered audio) and with the real one (error boxes, locks shared
// with a second process, the plug-in without its shared library).
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

// The log lines that show what passed between host and plug-in (not the load and call bookkeeping).
std::vector<JsonFields> Traffic(const Session& session) {
  std::vector<JsonFields> traffic;
  for (JsonFields& line : session.Events()) {
    const std::string& type = line["type"];
    if (type == "event" || type == "internal" || type == "messagebox" ||
        (type == "call" && line["name"] == "createUserInterface"))
      traffic.push_back(line);
  }
  return traffic;
}

TEST(HostInfo, PrintsOneObjectWithTheConstantsAndTheSevenFields) {
  testkit::ProcessResult run = testkit::RunHost({"info", testkit::BinPath("sondrel.oin")});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  ASSERT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
  JsonFields info = testkit::ParseJsonLine(run.out);
  EXPECT_EQ(info.size(), 10u);
  EXPECT_EQ(info["interfaceVersion"], "257");
  EXPECT_EQ(info["pluginKind"], "1");
  EXPECT_EQ(info["numChannels"], "4");
  EXPECT_EQ(info["fullName"], "Orvan Sondrel");
  EXPECT_EQ(info["shortName"], "Sondrel");
  EXPECT_EQ(info["inputKind"], "wave audio");
  EXPECT_EQ(info["version"], "v0.2b 08/2000");
  EXPECT_FALSE(info["copyright"].empty());
  EXPECT_FALSE(info["url"].empty());
  EXPECT_EQ(info["word592"], "0");
}

TEST(HostLoader, NamesWhatIsWrongWithALibrary) {
  testkit::ProcessResult missing = testkit::RunHost({"info", testkit::BinPath("no-such-plugin.oin")});
  EXPECT_EQ(missing.exitCode, 2u);
  EXPECT_NE(missing.err.find("cannot load"), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("no-such-plugin.oin"), std::string::npos) << missing.err;

  testkit::ProcessResult partial = testkit::RunHost({"info", testkit::BinPath("probe_missing.oin")});
  EXPECT_EQ(partial.exitCode, 2u);
  EXPECT_NE(partial.err.find("\"readStreamChannel\" is missing"), std::string::npos) << partial.err;
  EXPECT_TRUE(partial.out.empty());

  // The shared library has none of the fourteen.
  testkit::ProcessResult other = testkit::RunHost({"info", testkit::BinPath("VKLShared.dll")});
  EXPECT_EQ(other.exitCode, 2u);
  EXPECT_NE(other.err.find("\"getInterfaceVersion\" is missing"), std::string::npos) << other.err;
}

TEST(HostScript, EveryLineIsCheckedBeforeThePlugInIsLoaded) {
  Session session("host_bad_script", "setup 4410 65536\npull 2\nplay 1\n");
  testkit::ProcessResult run = testkit::RunHost({"run", session.script, "--out", session.out});
  EXPECT_EQ(run.exitCode, 3u);
  EXPECT_NE(run.err.find("line 3: unknown command \"play\""), std::string::npos) << run.err;
  EXPECT_EQ(GetFileAttributesA((session.out + "\\events.jsonl").c_str()), INVALID_FILE_ATTRIBUTES);

  for (const char* bad : {"pull ten\n", "setup 4410\n", "policy refuse 40\n", "ui open\n", "wait 010\n", "handle \"7\n"}) {
    Session typo("host_bad_line", bad);
    testkit::ProcessResult result = testkit::RunHost({"run", typo.script, "--out", typo.out});
    EXPECT_EQ(result.exitCode, 3u) << bad;
    EXPECT_NE(result.err.find("line 1"), std::string::npos) << bad << result.err;
  }
}

TEST(HostSession, AnswersEventsByPolicyAndLogsThemWithTheirThreads) {
  Session session("host_probe_policy",
                  "handle 77\n"
                  "ui create\n"
                  "policy refuse 6\n"
                  "ui create   # the channel is refused\n"
                  "policy accept\n"
                  "policy refuse 2\n"
                  "ui create\n"
                  "streamerror\n");
  testkit::ProcessResult run =
      testkit::RunHost({"run", session.script, "--out", session.out, "--plugin", testkit::BinPath("probe_plugin.oin")});
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  std::vector<JsonFields> t = Traffic(session);
  const char* expected[][3] = {
      {"event", "6", "1"},         {"event", "2", "1"},
      {"internal", "15", ""},      {"call", "createUserInterface", "1"},
      {"event", "6", "0"},         {"messagebox", "probe: channel refused", ""},
      {"event", "2", "1"},         {"internal", "15", ""},
      {"call", "createUserInterface", "0"}, {"event", "6", "1"},
      {"event", "2", "0"},         {"messagebox", "probe: start refused", ""},
      {"internal", "15", ""},      {"call", "createUserInterface", "0"},
      {"event", "7", "1"}};
  ASSERT_EQ(t.size(), sizeof expected / sizeof expected[0]);
  for (size_t i = 0; i < t.size(); ++i) {
    EXPECT_EQ(t[i]["type"], expected[i][0]) << i;
    if (t[i]["type"] == "event") {
      EXPECT_EQ(t[i]["code"], expected[i][1]) << i;
      EXPECT_EQ(t[i]["answer"], expected[i][2]) << i;
      EXPECT_EQ(t[i]["flag"], "1") << i;
    } else if (t[i]["type"] == "internal") {
      EXPECT_EQ(t[i]["command"], "15");
      EXPECT_EQ(t[i]["word0"], "77");
      EXPECT_EQ(t[i]["restZero"], "true");
    } else if (t[i]["type"] == "messagebox") {
      EXPECT_EQ(t[i]["text"], expected[i][1]);
    } else {
      EXPECT_EQ(t[i]["result"], expected[i][2]) << i;
    }
    // Everything comes on the interface thread except the streaming error's event.
    EXPECT_EQ(t[i]["thread"], i + 1 == t.size() ? "stream" : "ui") << i;
  }
  EXPECT_EQ(t[0]["handle"], "77");
  EXPECT_EQ(t[0]["channel"], "1");
  EXPECT_EQ(t[0]["partner"], "2");
  EXPECT_EQ(t[1]["handle"], "0");
  EXPECT_EQ(t[1]["channel"], "0");
}

TEST(HostSession, PullsChannelsInOrderAndKeepsWhatEachDelivered) {
  Session session("host_probe_pull", "setup 400 65536\npull 3\npull 2 realtime\n");
  testkit::ProcessResult run =
      testkit::RunHost({"run", session.script, "--out", session.out, "--plugin", testkit::BinPath("probe_plugin.oin")});
  ASSERT_EQ(run.exitCode, 0u) << run.err;

  std::vector<JsonFields> periods = testkit::ReadJsonLines(session.out + "\\periods.jsonl");
  ASSERT_EQ(periods.size(), 20u);
  const char* bytes[] = {"400", "400", "200", "0"};
  for (size_t i = 0; i < periods.size(); ++i) {
    EXPECT_EQ(periods[i]["period"], std::to_string(i / 4)) << i;
    EXPECT_EQ(periods[i]["channel"], std::to_string(i % 4)) << i;
    EXPECT_EQ(periods[i]["result"], i % 4 == 3 ? "0" : "1") << i;
    EXPECT_EQ(periods[i]["bytes"], bytes[i % 4]) << i;
  }

  const int samplesPerPeriod[] = {200, 200, 100, 0};
  for (int c = 0; c < 4; ++c) {
    std::vector<unsigned char> wave = testkit::ReadFileBytes(session.out + "\\ch" + std::to_string(c + 1) + ".wav");
    size_t dataBytes = 5u * samplesPerPeriod[c] * 2;
    ASSERT_EQ(wave.size(), 44 + dataBytes) << c;
    EXPECT_EQ(memcmp(wave.data(), "RIFF", 4), 0);
    uint32_t riff, rate, data;
    uint16_t format, channels, bits;
    memcpy(&riff, &wave[4], 4);
    memcpy(&format, &wave[20], 2);
    memcpy(&channels, &wave[22], 2);
    memcpy(&rate, &wave[24], 4);
    memcpy(&bits, &wave[34], 2);
    memcpy(&data, &wave[40], 4);
    EXPECT_EQ(riff, 36 + dataBytes);
    EXPECT_EQ(format, 1);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(data, dataBytes);
    for (size_t s = 0; s < dataBytes / 2; ++s) {
      int16_t sample;
      memcpy(&sample, &wave[44 + 2 * s], 2);
      ASSERT_EQ(sample, 1000 * (c + 1) + (int)(s / samplesPerPeriod[c])) << "channel " << c << " sample " << s;
    }
  }
}

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

TEST(HostWithSondrel, ErrorsArriveAsBoxesWithTheSharedLibrarysText) {
  std::string dir = testkit::ScratchDir("host_sondrel_error_file");
  Session session("host_sondrel_error",
                  "setup 4410 65536\nui create\nopen 1 " + WriteSlowFile(dir) + "\npull 2\nui destroy\n");
  testkit::ProcessResult run = testkit::RunHost({"run", session.script, "--out", session.out});
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  std::vector<JsonFields> boxes = session.Events("messagebox");
  ASSERT_FALSE(boxes.empty());
  const JsonFields& box = boxes.back();
  EXPECT_EQ(box.at("text").rfind("Waveformat Converter\n\nError 17: ", 0), 0u) << box.at("text");
  EXPECT_EQ(box.at("thread"), "ui");
  std::vector<JsonFields> periods = testkit::ReadJsonLines(session.out + "\\periods.jsonl");
  EXPECT_EQ(periods.size(), 8u);
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

  Session session("host_second_process", "setup 4410 65536\nwait 3000\n");
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
  ASSERT_TRUE(second.Wait(30000));
  EXPECT_EQ(second.ExitCode(), 0u) << second.Err();
  for (int c = 0; c < 4; ++c) EXPECT_FALSE(testkit::ChannelLockExists(c)) << c;
}

}  // namespace
