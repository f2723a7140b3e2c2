// Loading files into channels: formats accepted and refused, the host's consent,
// what a load replaces, and what it keeps.
#include "tests/engine/EngineTestKit.h"
#include "wavedata/WaveFile.h"
#include "wavedata/WaveformatConverter.h"

namespace enginetest {
namespace {

using LoadChannelTest = EngineTest;

TEST_F(LoadChannelTest, MonoFileTakesOneChannelAndPlaysUnchanged) {
  int32_t partner = 99;
  engine->SetView(&view);
  view.Reset();
  ASSERT_EQ(Load(3, "mono1000.wav", &partner), 0);
  EXPECT_EQ(partner, -1);
  const Channel& channel = engine->ChannelAt(3);
  EXPECT_TRUE(channel.loaded && channel.owner);
  EXPECT_EQ(channel.partner, -1);
  EXPECT_EQ(channel.converter, nullptr);
  EXPECT_EQ(channel.output, channel.readBuffer.get());
  EXPECT_EQ(channel.readSize, 4410u);
  EXPECT_EQ(channel.state, kStopped);
  EXPECT_TRUE(channel.file->Quiet());
  EXPECT_EQ(view.Refreshed(3), 1);
  std::vector<EventRecord> events = host.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, kEventChannelOpen);
  EXPECT_EQ(events[0].flag, 1);
  EXPECT_EQ(events[0].handle, 0x5A5Au);
  EXPECT_EQ(events[0].channel, 4);
  EXPECT_EQ(events[0].partner, 0);
  EXPECT_EQ(reporter.LastError(), 0);

  // 5 Hz below the host rate plays without a converter.
  ASSERT_EQ(Load(0, "rate44095.wav"), 0);
  EXPECT_EQ(engine->ChannelAt(0).converter, nullptr);
  engine->PlayStop(0);
  EXPECT_EQ(ReadToEnd(0), Bytes("rate44095.raw"));
  engine->SetView(nullptr);
}

TEST_F(LoadChannelTest, StereoFileTakesTheChannelAndItsRightNeighbour) {
  int32_t partner = -1;
  ASSERT_EQ(Load(1, "stereo.wav", &partner), 0);
  EXPECT_EQ(partner, 2);
  const Channel& left = engine->ChannelAt(1);
  const Channel& right = engine->ChannelAt(2);
  ASSERT_NE(left.converter, nullptr);
  EXPECT_TRUE(left.converter->Quiet());
  EXPECT_EQ(left.partner, 2);
  EXPECT_EQ(left.readSize, 8820u);
  EXPECT_EQ(left.output, left.converter->FirstBuffer());
  EXPECT_TRUE(right.loaded);
  EXPECT_FALSE(right.owner);
  EXPECT_EQ(right.partner, -1);
  EXPECT_EQ(right.file, nullptr);  // reached through its owner
  EXPECT_EQ(right.readBuffer, nullptr);
  EXPECT_EQ(right.output, left.converter->SecondBuffer());
  EXPECT_EQ(engine->Position(2).length, engine->Position(1).length);
  EXPECT_EQ(engine->Position(1).length, left.file->GetLengthMs());
  std::vector<EventRecord> events = host.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].channel, 2);
  EXPECT_EQ(events[0].partner, 3);
}

TEST_F(LoadChannelTest, RefusedFilesLeaveEveryChannelAsItWas) {
  ASSERT_EQ(Load(3, "monoA.wav"), 0);
  ASSERT_EQ(Load(0, "monoB.wav"), 0);
  WaveFile* before3 = engine->ChannelAt(3).file.get();
  WaveFile* before0 = engine->ChannelAt(0).file.get();
  host.Clear();
  errors.Clear();

  EXPECT_EQ(Load(3, "stereo.wav"), 32);  // no channel to the right of channel 3
  EXPECT_EQ(Load(0, "rate4000.wav"), 17);
  EXPECT_EQ(Load(0, "three.wav"), 17);
  EXPECT_EQ(Load(0, "missing.wav"), 1);
  EXPECT_EQ(Load(0, "notwave.txt"), 8);
  EXPECT_EQ(errors.codes, (std::vector<int>{32, 17, 17, 1, 8}));
  std::vector<std::string> names = errors.texts;
  EXPECT_EQ(names[0], "User Interface");
  EXPECT_EQ(names[1], "Waveformat Converter");
  EXPECT_EQ(names[4], "notwave.txt");  // an open file reports under its name
  EXPECT_TRUE(host.Events().empty());
  EXPECT_EQ(engine->ChannelAt(3).file.get(), before3);
  EXPECT_EQ(engine->ChannelAt(0).file.get(), before0);
  engine->PlayStop(0);
  EXPECT_EQ(ReadToEnd(0), Bytes("monoB.raw"));
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
