// The channel commands: starting with the host's consent, synchronised starts and
// waits, pause, close, and commands on the right half of a stereo file.
#include "tests/engine/EngineTestKit.h"

namespace enginetest {
namespace {

using ChannelCommandTest = EngineTest;

TEST_F(ChannelCommandTest, PlayAsksTheHostAndPlayAgainStopsAndRewinds) {
  ASSERT_EQ(Load(0, "monoA.wav"), 0);
  host.Clear();
  ASSERT_TRUE(engine->PlayStop(0));
  std::vector<EventRecord> events = host.Events();
  ASSERT_EQ(events.size(), 1u);
  EventRecord expected = {kEventStart, 1, 0, 0, 0, 0, 0};
  EXPECT_EQ(memcmp(&events[0], &expected, sizeof expected), 0);
  EXPECT_EQ(State(0), kPlaying);
  std::vector<uint8_t> first = Read(0).Bytes();
  Read(0);
  engine->PlayStop(0);
  EXPECT_EQ(State(0), kStopped);
  EXPECT_FALSE(Read(0).ok);
  engine->PlayStop(0);
  EXPECT_EQ(Read(0).Bytes(), first);
}

TEST_F(ChannelCommandTest, HostRefusingTheStartStopsTheChannelAgain) {
  engine->SetView(&view);
  ASSERT_EQ(Load(0, "stereo.wav"), 0);
  host.Refuse(kEventStart, true);
  engine->PlayStop(0);
  EXPECT_EQ(State(0), kStopped);
  EXPECT_EQ(State(1), kStopped);
  EXPECT_EQ(errors.codes.back(), 34);
  EXPECT_EQ(view.Forgotten(), 1);
  EXPECT_FALSE(Read(0).ok);
  engine->SetView(nullptr);
}

TEST_F(ChannelCommandTest, SynchronisedChannelsStartTogetherOrWaitForALoop) {
  ApplySetup(400);
  ASSERT_EQ(Load(0, "mono1000.wav"), 0);
  ASSERT_EQ(Load(2, "stereo.wav"), 0);
  engine->SetSync(0, true);
  engine->SetSync(2, true);
  EXPECT_TRUE(engine->ChannelAt(3).sync);  // the partner follows its owner
  host.Clear();
  engine->PlayStop(0);
  EXPECT_EQ(host.Count(kEventStart), 1);
  for (int c : {0, 2, 3}) EXPECT_EQ(State(c), kPlaying);
  EXPECT_EQ(State(1), kStopped);

  // Stop channel 2; started again while channel 0 plays, it waits for channel 0's loop.
  engine->PlayStop(2);
  engine->PlayStop(2);
  EXPECT_EQ(State(2), kWaitingForSync);
  EXPECT_EQ(State(3), kWaitingForSync);
  EXPECT_EQ(host.Count(kEventStart), 1);
  engine->PlayStop(2);  // a waiting channel ignores play/stop
  EXPECT_EQ(State(2), kWaitingForSync);
  engine->SetLoop(0, true);
  for (int i = 0; i < 4; ++i) Read(0);
  EXPECT_EQ(State(2), kPlaying);

  // Switching sync off ends a wait.
  engine->PlayStop(2);
  engine->PlayStop(2);
  EXPECT_EQ(State(2), kWaitingForSync);
  engine->SetSync(2, false);
  EXPECT_EQ(State(2), kStopped);
  EXPECT_EQ(State(3), kStopped);
}

// A host whose event handler runs a modal loop: the window reads the channel meanwhile.
ChannelEngine* g_closing = nullptr;
int g_seenLoaded = -1, g_fileReads = 0;
int32_t ReadDuringEvent7(EventRecord* record) {
  if (record->code == kEventChannelClose) {
    int c = record->channel - 1;
    g_seenLoaded = g_closing->Peek(c).loaded || g_closing->Peek(record->partner - 1).loaded;
    g_closing->ReadFile(c, [](const WaveFile&, void*) { ++g_fileReads; }, nullptr);
  }
  return 1;
}

TEST_F(ChannelCommandTest, Event7ComesWhenTheRecordNoLongerNamesTheFile) {
  ASSERT_EQ(Load(1, "stereo.wav"), 0);
  g_closing = engine.get();
  engine->SetEventCallback(&ReadDuringEvent7);
  EXPECT_TRUE(engine->CloseFile(1));
  EXPECT_EQ(g_seenLoaded, 0);
  EXPECT_EQ(g_fileReads, 0);
}

}  // namespace
}  // namespace enginetest
