// A streaming thread pulls all four channels as fast as it can while this thread
// runs random commands: no deadlock, no torn or mixed block, valid records, free locks.
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

#include "tests/engine/EngineTestKit.h"
#include "wavedata/WaveFile.h"

namespace enginetest {
namespace {

constexpr int kCommands = 10000;
// The run goes on past kCommands until the streaming thread has delivered this
// many blocks, so a slow scheduler cannot leave the reads barely exercised.
constexpr long kMinDelivered = 1000;
constexpr DWORD kMaxRunMs = 30000;
constexpr int32_t kBlock = 4410;

// What each channel may deliver: block-aligned pieces of these sample streams.
struct Source {
  std::string name;
  std::vector<uint8_t> bytes;
};

struct StreamRun {
  ChannelEngine* engine;
  const std::vector<Source>* sources;
  volatile LONG stop;
  long reads;
  volatile LONG delivered;
  long faults;
  char firstFault[256];
};

// True when data[0..count) is a whole block (or the short last one) of some source.
bool IsSourceBlock(const std::vector<Source>& sources, const uint8_t* data, int32_t count) {
  for (const Source& source : sources) {
    size_t size = source.bytes.size();
    for (size_t offset = 0; offset < size; offset += kBlock) {
      size_t expected = size - offset < (size_t)kBlock ? size - offset : (size_t)kBlock;
      if ((size_t)count == expected && memcmp(data, source.bytes.data() + offset, count) == 0) return true;
    }
  }
  return false;
}

DWORD WINAPI Stream(void* argument) {
  StreamRun* run = static_cast<StreamRun*>(argument);
  while (!run->stop) {
    for (int c = 0; c < kNumChannels; ++c) {
      uint8_t* data = nullptr;
      int32_t count = 0;
      bool ok = run->engine->ReadStreamChannel(c, &data, &count);
      ++run->reads;
      int32_t state = run->engine->ChannelAt(c).state;
      const char* fault = nullptr;
      if (state < kStopped || state > kWaitingForSync) fault = "invalid state";
      if (ok && count > 0) {
        ++run->delivered;
        if (!IsSourceBlock(*run->sources, data, count)) fault = "block matches no file at a block offset";
      }
      if (fault && run->faults++ == 0)
        snprintf(run->firstFault, sizeof run->firstFault, "channel %d, read %ld, count %d: %s", c, run->reads,
                 (int)count, fault);
    }
  }
  return 0;
}

// Ends the test program when something hangs: a deadlock must not wait for CTest.
DWORD WINAPI Watchdog(void* argument) {
  if (WaitForSingleObject(static_cast<HANDLE>(argument), 120000) == WAIT_TIMEOUT) {
    fprintf(stderr, "ConcurrencyTest: no progress for 120 s (deadlock?)\n");
    fflush(stderr);
    ExitProcess(3);
  }
  return 0;
}

void ExpectPairsConsistent(ChannelEngine& engine) {
  for (int c = 0; c < kNumChannels; ++c) {
    const Channel& channel = engine.ChannelAt(c);
    SCOPED_TRACE("channel " + std::to_string(c));
    if (!channel.loaded) {
      EXPECT_EQ(channel.file, nullptr);
      continue;
    }
    if (channel.owner) {
      ASSERT_NE(channel.file, nullptr);
      if (channel.partner >= 0) {
        ASSERT_EQ(channel.partner, c + 1);
        const Channel& right = engine.ChannelAt(c + 1);
        EXPECT_TRUE(right.loaded && !right.owner);
        EXPECT_EQ(right.file, nullptr);
      }
    } else {
      ASSERT_GT(c, 0);
      const Channel& left = engine.ChannelAt(c - 1);
      EXPECT_TRUE(left.loaded && left.owner);
      EXPECT_EQ(left.partner, c);
    }
  }
}

using ConcurrencyTest = EngineTest;

TEST_F(ConcurrencyTest, RandomCommandsAgainstAStreamingThread) {
  std::vector<Source> sources = {{"monoA", Bytes("monoA.raw")},
                                 {"monoB", Bytes("monoB.raw")},
                                 {"stereo.left", Bytes("stereo.left.raw")},
                                 {"stereo.right", Bytes("stereo.right.raw")},
                                 {"stereoB.left", Bytes("stereoB.left.raw")},
                                 {"stereoB.right", Bytes("stereoB.right.raw")}};
  for (const Source& source : sources) ASSERT_FALSE(source.bytes.empty()) << source.name;
  const char* files[] = {"monoA.wav", "monoB.wav", "stereo.wav", "stereoB.wav"};

  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, done, 0, nullptr);
  StreamRun run = {engine.get(), &sources, 0, 0, 0, 0, ""};
  HANDLE streamer = CreateThread(nullptr, 0, Stream, &run, 0, nullptr);
  ASSERT_NE(streamer, nullptr);

  std::mt19937 random(20001);
  int ignored = 0, loads = 0;
  DWORD start = GetTickCount();
  int commands = 0;
  for (; commands < kCommands || (InterlockedCompareExchange(&run.delivered, 0, 0) < kMinDelivered &&
                                  GetTickCount() - start < kMaxRunMs);
       ++commands) {
    int c = (int)(random() % kNumChannels);
    unsigned pick = random() % 100;
    bool done = true;
    if (pick < 12) {
      engine->LoadChannel(c, File(files[random() % 4]).c_str(), nullptr);
      ++loads;
    } else if (pick < 40) {
      done = engine->PlayStop(c);
    } else if (pick < 55) {
      done = engine->Pause(c);
    } else if (pick < 67) {
      done = engine->SetLoop(c, random() % 3 != 0);
    } else if (pick < 79) {
      done = engine->SetSync(c, random() % 2 != 0);
    } else if (pick < 89) {
      done = engine->CloseFile(c);
    } else if (pick < 92) {
      // Now and then the host refuses a start or a channel.
      bool refuse = random() % 4 == 0;
      host.Refuse(random() % 2 ? kEventStart : kEventChannelOpen, refuse);
    } else {
      Sleep(1);  // let the streaming thread run a few periods
    }
    ignored += !done;
  }
  DWORD elapsed = GetTickCount() - start;

  InterlockedExchange(&run.stop, 1);
  EXPECT_EQ(WaitForSingleObject(streamer, 30000), WAIT_OBJECT_0) << "streaming thread stuck";
  CloseHandle(streamer);
  SetEvent(done);
  WaitForSingleObject(watchdog, INFINITE);
  CloseHandle(watchdog);
  CloseHandle(done);

  printf("%d commands (%d loads, %d ignored) in %lu ms; %ld reads, %ld blocks delivered\n", commands, loads,
         ignored, (unsigned long)elapsed, run.reads, run.delivered);
  EXPECT_EQ(run.faults, 0) << run.firstFault;
  EXPECT_GE(run.delivered, kMinDelivered);
  ExpectPairsConsistent(*engine);

  // Each named lock tried from a thread that never held one: free means not owned and not abandoned.
  int freeLocks = 0;
  std::thread([&] {
    for (int c = 0; c < kNumChannels; ++c) {
      HANDLE lock = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, ("ChannelLock" + std::to_string(c)).c_str());
      if (lock && WaitForSingleObject(lock, 0) == WAIT_OBJECT_0) ++freeLocks, ReleaseMutex(lock);
      if (lock) CloseHandle(lock);
    }
  }).join();
  EXPECT_EQ(freeLocks, kNumChannels);
  host.Refuse(kEventStart, false);
  host.Refuse(kEventChannelOpen, false);
}

}  // namespace
}  // namespace enginetest
