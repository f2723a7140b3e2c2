// Loading files into channels: formats accepted and refused, the host's consent,
// what a load replaces, and what it keeps.
#include "tests/engine/EngineTestKit.h"
#include "wavedata/WaveFile.h"

namespace enginetest {
namespace {

using LoadChannelTest = EngineTest;

// How a mono or stereo file plays and what the host is told is checked end to end
// (tests/e2e, stereo_split and refused_loads).
TEST_F(LoadChannelTest, RateWithinFiveHertzOfTheHostsPlaysUnchanged) {
  ASSERT_EQ(Load(0, "rate44095.wav"), 0);
  engine->PlayStop(0);
  EXPECT_EQ(ReadToEnd(0), Bytes("rate44095.raw"));
}

TEST_F(LoadChannelTest, LoadReplacesWholePairsAndKeepsTheSwitches) {
  ASSERT_EQ(Load(0, "stereo.wav"), 0);
  engine->SetLoop(0, true);
  engine->SetSync(2, true);
  engine->PlayStop(0);
  Read(0);
  host.Clear();
  // A mono file into the owner of a playing pair: partner, then owner, one event 7.
  ASSERT_EQ(Load(0, "monoA.wav"), 0);
  std::vector<EventRecord> events = host.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].code, kEventChannelClose);
  EXPECT_EQ(events[0].channel, 1);
  EXPECT_EQ(events[0].partner, 2);
  EXPECT_EQ(events[1].code, kEventChannelOpen);
  EXPECT_FALSE(engine->ChannelAt(1).loaded);
  EXPECT_TRUE(engine->ChannelAt(0).loop);  // kept across the load
  EXPECT_EQ(State(0), kStopped);

  // A stereo file over the left half of another pair empties that pair.
  ASSERT_EQ(Load(2, "stereoB.wav"), 0);
  EXPECT_TRUE(engine->ChannelAt(2).sync);
  host.Clear();
  ASSERT_EQ(Load(1, "stereo.wav"), 0);
  EXPECT_FALSE(engine->ChannelAt(3).loaded);
  EXPECT_EQ(engine->ChannelAt(1).partner, 2);
  // The right half takes its owner's switches, not the ones channel 2 had.
  EXPECT_FALSE(engine->ChannelAt(2).sync);
  EXPECT_TRUE(engine->ChannelAt(2).loop && engine->ChannelAt(1).loop);
  events = host.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].channel, 3);
  EXPECT_EQ(events[0].partner, 4);

  // A file into the right half of a pair empties the pair: a half never plays alone.
  host.Clear();
  ASSERT_EQ(Load(2, "monoB.wav"), 0);
  EXPECT_FALSE(engine->ChannelAt(1).loaded);
  EXPECT_TRUE(engine->ChannelAt(2).owner);
  EXPECT_EQ(host.Count(kEventChannelClose), 1);
  EXPECT_TRUE(engine->ChannelAt(2).loop);  // kept from the pair it belonged to
  engine->SetLoop(2, false);
  engine->PlayStop(2);
  EXPECT_EQ(ReadToEnd(2), Bytes("monoB.raw"));
}

// The host's set-up arrives while the picture is built: the channel is installed
// with buffers for the new block size.
class SetupDuringPicture : public RecordingView {
 public:
  explicit SetupDuringPicture(ChannelEngine* engine) : engine_(engine) {}
  void BuildPicture(int, WaveFile*, bool) override {
    SetupRecord setup = {{0, 2048, 0, 65536, 0, 0}};
    engine_->ApplySetup(setup);
  }

 private:
  ChannelEngine* engine_;
};

TEST_F(LoadChannelTest, SetupDuringThePictureSizesTheChannelForTheNewBlock) {
  SetupDuringPicture picture(engine.get());
  engine->SetView(&picture);
  ASSERT_EQ(Load(0, "stereo.wav"), 0);
  engine->PlayStop(0);
  std::vector<uint8_t> left = Bytes("stereo.left.raw"), right = Bytes("stereo.right.raw");
  EXPECT_EQ(Read(0).Bytes(), std::vector<uint8_t>(left.begin(), left.begin() + 2048));
  EXPECT_EQ(Read(1).Bytes(), std::vector<uint8_t>(right.begin(), right.begin() + 2048));
  engine->SetView(nullptr);
}

TEST_F(LoadChannelTest, HostRefusingTheChannelLeavesTheEmptiedChannelsEmpty) {
  ASSERT_EQ(Load(0, "stereo.wav"), 0);
  host.Clear();
  host.Refuse(kEventChannelOpen, true);
  EXPECT_EQ(Load(0, "monoA.wav"), 35);
  EXPECT_EQ(errors.codes.back(), 35);
  EXPECT_FALSE(engine->ChannelAt(0).loaded);
  EXPECT_FALSE(engine->ChannelAt(1).loaded);
  EXPECT_EQ(host.Count(kEventChannelClose), 1);
  EXPECT_EQ(host.Count(kEventChannelOpen), 1);
  host.Refuse(kEventChannelOpen, false);
}

TEST_F(LoadChannelTest, LoadBeforeTheHostSetupDeliversNothing) {
  engine.reset(new ChannelEngine(&reporter));
  engine->SetEventCallback(&TestHost::OnEvent);
  ASSERT_EQ(Load(0, "monoA.wav"), 0);
  engine->PlayStop(0);
  EXPECT_FALSE(Read(0).ok);
  EXPECT_EQ(State(0), kStopped);
}

}  // namespace
}  // namespace enginetest
