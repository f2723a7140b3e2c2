// Stream reading: what the host receives from mono and stereo channels, at the end
// of the data, looping, paused, synchronised, and the play-position arithmetic.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "engine/ChannelLock.h"
#include "tests/engine/EngineTestKit.h"
#include "wavedata/WaveFile.h"

namespace enginetest {
namespace {

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t offset, size_t count) {
  return std::vector<uint8_t>(bytes.begin() + offset, bytes.begin() + offset + count);
}

using StreamReadTest = EngineTest;

// A paused channel's empty blocks are checked end to end (tests/e2e, stereo_split).
TEST_F(StreamReadTest, StoppedAndEmptyChannelsLeaveTheOutValues) {
  ASSERT_EQ(Load(0, "mono1000.wav"), 0);
  uint8_t sentinel = 0;
  uint8_t* out = &sentinel;
  int32_t count = 12345;
  EXPECT_FALSE(engine->ReadStreamChannel(0, &out, &count));
  EXPECT_EQ(out, &sentinel);
  EXPECT_EQ(count, 12345);
  EXPECT_FALSE(engine->ReadStreamChannel(1, &out, &count));  // empty; channels out of range: ExportsTest
  EXPECT_EQ(out, &sentinel);
}

TEST_F(StreamReadTest, MonoFileEndsStopsRewindsAndLoopsBackToItsStart) {
  ApplySetup(400);
  engine->SetView(&view);
  std::vector<uint8_t> data = Bytes("mono1000.raw");
  ASSERT_EQ(Load(0, "mono1000.wav"), 0);
  engine->PlayStop(0);
  Block a = Read(0), b = Read(0), c = Read(0);
  view.Reset();
  Block d = Read(0);
  EXPECT_TRUE(a.ok && b.ok && c.ok);
  EXPECT_EQ(a.count, 400);
  EXPECT_EQ(b.count, 400);
  EXPECT_EQ(c.count, 200);
  EXPECT_EQ(c.Bytes(), Slice(data, 800, 200));
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(State(0), kStopped);
  EXPECT_EQ(view.Shown(0), 1);
  EXPECT_EQ(engine->Position(0).elapsed, 0u);
  engine->PlayStop(0);
  EXPECT_EQ(Read(0).Bytes(), Slice(data, 0, 400));  // rewound

  engine->PlayStop(0);  // stop
  engine->SetLoop(0, true);
  engine->PlayStop(0);
  Read(0), Read(0);
  EXPECT_EQ(Read(0).count, 200);
  Block wrapped = Read(0);
  EXPECT_TRUE(wrapped.ok);
  EXPECT_EQ(wrapped.Bytes(), Slice(data, 0, 400));
  EXPECT_EQ(engine->Position(0).restarted, 1);  // the marker shows the start
  EXPECT_EQ(State(0), kPlaying);
}

TEST_F(StreamReadTest, ReadsEndWithTheDataChunkOrWithTheFile) {
  ApplySetup(400);
  ASSERT_EQ(Load(0, "trailing.wav"), 0);  // a LIST chunk follows the samples
  ASSERT_EQ(Load(1, "overlong.wav"), 0);  // announces 4 GB of samples
  for (int c : {0, 1}) {
    engine->PlayStop(c);
    EXPECT_EQ(ReadToEnd(c), Bytes("mono1000.raw"));
    EXPECT_EQ(State(c), kStopped);
    engine->SetLoop(c, true);
    engine->PlayStop(c);
    std::vector<uint8_t> once = Bytes("mono1000.raw"), twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(ReadToEnd(c, 6), twice);
  }
}

// A block size that is not whole frames of the file: every read still is, so no
// pass or loop shifts the samples by a byte.
TEST_F(StreamReadTest, BlockSizesOfPartFramesReadWholeFrames) {
  ApplySetup(401);
  ASSERT_EQ(Load(0, "mono1000.wav"), 0);  // 16-bit mono, read unconverted
  ASSERT_EQ(Load(1, "stereo.wav"), 0);    // 16-bit stereo, split
  std::vector<uint8_t> once = Bytes("mono1000.raw"), twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  std::vector<uint8_t> left = Bytes("stereo.left.raw");
  for (int c : {0, 1}) {
    engine->SetLoop(c, true);
    engine->PlayStop(c);
  }
  std::vector<uint8_t> mono, pair;
  for (int i = 0; i < 6; ++i) {
    Block a = Read(0), b = Read(1);
    Read(2);
    EXPECT_EQ(a.count % 2, 0);
    EXPECT_EQ(b.count % 2, 0);
    mono.insert(mono.end(), a.data, a.data + a.count);
    pair.insert(pair.end(), b.data, b.data + b.count);
  }
  EXPECT_EQ(mono, twice);
  EXPECT_EQ(pair, Slice(left, 0, pair.size()));
}

// One host period: every channel read once, in index order; which ones delivered.
std::vector<bool> Period(ChannelEngine& engine) {
  std::vector<bool> delivered;
  for (int c = 0; c < kNumChannels; ++c) {
    uint8_t* out = nullptr;
    int32_t count = 0;
    delivered.push_back(engine.ReadStreamChannel(c, &out, &count));
  }
  return delivered;
}

TEST_F(StreamReadTest, WaitingChannelStartsInTheLoopingPeriodOrTheNext) {
  ApplySetup(400);
  // Channel 0 loops with sync set; channel 2 waits: it plays in the period of the wrap.
  ASSERT_EQ(Load(0, "mono1000.wav"), 0);
  ASSERT_EQ(Load(2, "monoA.wav"), 0);
  engine->SetLoop(0, true);
  engine->SetSync(0, true);
  engine->PlayStop(0);
  engine->SetSync(2, true);
  engine->PlayStop(2);
  EXPECT_EQ(State(2), kWaitingForSync);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(Period(*engine)[2]);
  std::vector<bool> wrap = Period(*engine);
  EXPECT_TRUE(wrap[0]);
  EXPECT_TRUE(wrap[2]);

  // Channel 3 loops with sync set; channel 0 waits: it plays one period later.
  ApplySetup(400);
  ASSERT_EQ(Load(0, "monoA.wav"), 0);
  ASSERT_EQ(Load(3, "mono1000.wav"), 0);
  engine->SetSync(0, false);  // switches outlive their files
  engine->SetLoop(3, true);
  engine->SetSync(3, true);
  engine->PlayStop(3);
  engine->SetSync(0, true);
  engine->PlayStop(0);
  EXPECT_EQ(State(0), kWaitingForSync);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(Period(*engine)[0]);
  EXPECT_FALSE(Period(*engine)[0]);  // channel 3 wraps after channel 0 was read
  EXPECT_EQ(State(0), kPlaying);
  std::vector<bool> next = Period(*engine);
  EXPECT_TRUE(next[0]);
  EXPECT_EQ(host.Count(kEventStart), 2);
}

TEST_F(StreamReadTest, MarkerFollowsElapsedTimeWithOrWithoutAView) {
  EXPECT_EQ(engine->Position(0).increment, 50u);  // 4410-byte blocks
  ASSERT_EQ(Load(0, "mono5s.wav"), 0);
  EXPECT_EQ(engine->Position(0).length, 5000u);  // 220500 frames at 44100 Hz
  engine->Position(0).length = 10000;
  engine->PlayStop(0);
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(Read(0).ok);
  // A window created now shows every strip's current state, and the marker goes on.
  engine->SetView(&view);
  for (int c = 0; c < kNumChannels; ++c) {
    EXPECT_EQ(view.Refreshed(c), 1);
    EXPECT_EQ(view.Shown(c), 1);
  }
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(Read(0).ok);
  EXPECT_EQ(engine->Position(0).elapsed, 5000u);
  EXPECT_GT(view.Invalidated(0), 20);
  // Stopping returns the position to the start.
  engine->PlayStop(0);
  EXPECT_EQ(engine->Position(0).elapsed, 0u);
  engine->SetView(nullptr);
}

TEST_F(StreamReadTest, StreamingErrorStopsPlayingAndPausedChannelsKeepingTheirSwitches) {
  ASSERT_EQ(Load(0, "monoA.wav"), 0);
  ASSERT_EQ(Load(1, "monoB.wav"), 0);
  engine->SetLoop(0, true);
  engine->SetSync(1, true);
  engine->PlayStop(0);
  engine->PlayStop(1);
  Read(0), Read(0), Read(1);
  engine->Pause(1);
  engine->StopAllChannels();
  EXPECT_EQ(State(0), kStopped);
  EXPECT_EQ(State(1), kStopped);
  EXPECT_TRUE(engine->ChannelAt(0).loop);
  EXPECT_TRUE(engine->ChannelAt(1).sync);
  engine->PlayStop(0);
  EXPECT_EQ(Read(0).Bytes(), Slice(Bytes("monoA.raw"), 0, 4410));
}

TEST_F(StreamReadTest, SetupClosesEveryChannelAndSetsTheMarkerStep) {
  ASSERT_EQ(Load(0, "stereo.wav"), 0);
  ASSERT_EQ(Load(2, "monoA.wav"), 0);
  engine->PlayStop(0);
  Read(0), Read(1);
  engine->SetView(&view);
  view.Reset();
  host.Clear();
  ApplySetup(1);
  for (int c = 0; c < kNumChannels; ++c) EXPECT_FALSE(engine->ChannelAt(c).loaded);
  std::vector<EventRecord> events = host.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].code, kEventChannelClose);
  EXPECT_EQ(events[0].channel, 1);
  EXPECT_EQ(events[0].partner, 2);
  EXPECT_EQ(events[0].handle, 0x5A5Au);
  EXPECT_EQ(events[1].channel, 3);
  EXPECT_EQ(events[1].partner, 0);
  EXPECT_EQ(view.Refreshed(0) + view.Refreshed(1) + view.Refreshed(2), 3);
  for (int c = 0; c < kNumChannels; ++c) EXPECT_EQ(engine->Position(c).increment, 0u);
  ApplySetup(4410);
  EXPECT_EQ(engine->Position(3).increment, 50u);
  engine->SetView(nullptr);
}

TEST_F(StreamReadTest, DeliveredBlockOutlivesACloseUntilTheNextRead) {
  ASSERT_EQ(Load(0, "stereo.wav"), 0);
  engine->PlayStop(0);
  Read(0);
  Block right = Read(1);
  ASSERT_TRUE(right.ok);
  std::vector<uint8_t> expected = right.Bytes();
  ASSERT_TRUE(engine->CloseFile(0));
  ASSERT_EQ(Load(0, "monoB.wav"), 0);
  // Memory freed now would be handed out again by these allocations.
  std::vector<std::vector<uint8_t>> churn;
  for (int i = 0; i < 64; ++i) churn.emplace_back(4410, 0xEE);
  EXPECT_EQ(std::vector<uint8_t>(right.data, right.data + right.count), expected);
  EXPECT_EQ(engine->RetiredPending(), 1);
  Read(0), Read(1);  // the host has moved on
  ASSERT_TRUE(engine->CloseFile(0));
  EXPECT_EQ(engine->RetiredPending(), 1);  // monoB's buffer, just closed
}

TEST_F(StreamReadTest, DisplayCallsEndWhenTheViewDetaches) {
  ApplySetup(400);
  ASSERT_EQ(Load(0, "mono1000.wav"), 0);
  engine->SetLoop(0, true);
  engine->PlayStop(0);
  engine->SetView(&view);
  std::atomic<bool> stop(false);
  std::atomic<long> reads(0);
  std::thread reader([&] {
    for (uint8_t* out; !stop; ++reads) {
      int32_t count;
      engine->ReadStreamChannel(0, &out, &count);
    }
  });
  auto waitFor = [](auto done) {
    for (DWORD start = GetTickCount(); !done(); Sleep(1))
      if (GetTickCount() - start > 20000) return false;
    return true;
  };
  EXPECT_TRUE(waitFor([&] { return view.Invalidated(0) >= 50; })) << "the reader never moved the marker";
  engine->SetView(nullptr);
  view.Retire();  // from here on the window's controls would be gone
  // Enough periods after the detach that a display call would have come.
  long retiredAt = reads;
  EXPECT_TRUE(waitFor([&] { return reads - retiredAt >= 500; })) << "the reader stopped reading";
  stop = true;
  reader.join();
  EXPECT_EQ(view.CallsAfterRetire(), 0);
  EXPECT_EQ(State(0), kPlaying);
}

// A 48 kHz 24-bit stereo file of one second: both halves get whole host blocks until
// its converted data ends, the marker's length and elapsed time count the converted
// stream, and a stop and restart begins the same sound again.
TEST_F(StreamReadTest, ResampledPairDeliversWholeBlocksTimedByTheConvertedStream) {
  ASSERT_EQ(Load(0, "stereo48k24.wav"), 0);
  EXPECT_EQ(engine->Position(0).length, 1000u);
  engine->PlayStop(0);
  std::vector<int32_t> left, right;
  uint32_t latest = 0;  // the marker reaches the end when the sound does
  Block first = Read(0);
  std::vector<uint8_t> opening = first.Bytes();
  left.push_back(first.count);
  right.push_back(Read(1).count);
  for (int i = 0; i < 40 && State(0) == kPlaying; ++i) {
    Block a = Read(0), b = Read(1);
    if (!a.ok) break;
    left.push_back(a.count);
    right.push_back(b.count);
    latest = std::max(latest, engine->Position(0).elapsed);
  }
  ASSERT_GE(left.size(), 20u);
  EXPECT_EQ(left, right);
  // The outputs whose filter reaches past the end come in one more, short, block.
  EXPECT_EQ(std::count(left.begin(), left.end() - 2, 4410), (long)left.size() - 2);
  EXPECT_LT(left[left.size() - 2], 4410);
  long samples = 0;
  for (int32_t count : left) samples += count / 2;
  EXPECT_NEAR(samples, 44100, 2205);
  EXPECT_GE(latest, 950u);
  EXPECT_EQ(State(0), kStopped);
  EXPECT_EQ(State(1), kStopped);
  engine->PlayStop(0);
  EXPECT_EQ(Read(0).Bytes(), opening);  // rewound, the filter's history with it
}

}  // namespace
}  // namespace enginetest
