// Another process holds "ChannelLock0": channel 0 gives nothing and ignores commands
// without touching its record, the other channels go on, and no lock is released by
// a thread that does not own it.
#include <string>
#include <tuple>
#include <thread>
#include <cstring>

#include "engine/ChannelLock.h"
#include "tests/common/TestKit.h"
#include "tests/engine/EngineTestKit.h"

namespace enginetest {
namespace {

// A second process holding a named lock until Release (or abandoning it at once).
class LockHolder {
 public:
  // Starts lock_holder and waits until it holds the lock.
  bool Start(const char* lockName, bool abandon) {
    std::string ready = Name("Ready"), release = Name("Release");
    ready_ = CreateEventA(nullptr, TRUE, FALSE, ready.c_str());
    release_ = CreateEventA(nullptr, TRUE, FALSE, release.c_str());
    return child_.Start("\"" + testkit::BinPath("lock_holder.exe") + "\" " + lockName + " " + ready + " " +
                        (abandon ? "abandon" : release)) &&
           WaitForSingleObject(ready_, 20000) == WAIT_OBJECT_0;
  }
  // Tells the holder to release the lock, without waiting.
  void Signal() { SetEvent(release_); }
  // Lets the holder release the lock and waits for its end; its exit status, or -1.
  int Release() {
    SetEvent(release_);
    return child_.Wait(20000) ? (int)child_.ExitCode() : -1;
  }
  ~LockHolder() {
    Release();
    if (ready_) CloseHandle(ready_);
    if (release_) CloseHandle(release_);
  }

 private:
  static std::string Name(const char* what) {
    return "SondrelLockHolder" + std::string(what) + std::to_string(GetCurrentProcessId());
  }
  HANDLE ready_ = nullptr;
  HANDLE release_ = nullptr;
  testkit::ChildProcess child_;
};

using ContentionTest = EngineTest;

TEST_F(ContentionTest, ForeignHolderOfChannelLock0) {
  std::vector<uint8_t> mono = Bytes("mono5s.raw"), monoA = Bytes("monoA.raw");
  std::vector<uint8_t> left = Bytes("stereo.left.raw"), right = Bytes("stereo.right.raw");
  ASSERT_EQ(Load(0, "mono5s.wav"), 0);
  ASSERT_EQ(Load(1, "monoA.wav"), 0);
  ASSERT_EQ(Load(2, "stereo.wav"), 0);
  for (int c : {0, 1, 2}) engine->PlayStop(c);
  // Every field of the record, the owned objects by address.
  auto fields = [](const Channel& ch) {
    return std::make_tuple(ch.loaded, ch.owner, ch.partner, ch.file.get(), ch.converter.get(), ch.readSize,
                           ch.readBuffer.get(), ch.output, ch.outputCount, (int32_t)ch.state, ch.previousState,
                           (bool)ch.loop, (bool)ch.sync, ch.dataValid, ch.blockSize);
  };
  auto before = fields(engine->ChannelAt(0));
  PlayPosition positionBefore = engine->Position(0);
  host.Clear();
  errors.Clear();

  LockHolder holder;
  ASSERT_TRUE(holder.Start("ChannelLock0", false));
  for (int period = 0; period < 4; ++period) {
    uint8_t sentinel = 0;
    uint8_t* out = &sentinel;
    int32_t count = -7;
    DWORD start = GetTickCount();
    EXPECT_FALSE(engine->ReadStreamChannel(0, &out, &count));
    DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, 40u);
    EXPECT_LT(waited, 1000u);
    EXPECT_EQ(out, &sentinel);
    EXPECT_EQ(count, -7);
    size_t offset = (size_t)period * 4410;
    EXPECT_EQ(Read(1).Bytes(), std::vector<uint8_t>(monoA.begin() + offset, monoA.begin() + offset + 4410));
    EXPECT_EQ(Read(2).Bytes(), std::vector<uint8_t>(left.begin() + offset, left.begin() + offset + 4410));
    EXPECT_EQ(Read(3).Bytes(), std::vector<uint8_t>(right.begin() + offset, right.begin() + offset + 4410));
  }
  EXPECT_FALSE(engine->PlayStop(0));
  EXPECT_FALSE(engine->Pause(0));
  EXPECT_FALSE(engine->SetLoop(0, true));
  EXPECT_FALSE(engine->SetSync(0, true));
  EXPECT_FALSE(engine->CloseFile(0));
  EXPECT_EQ(Load(0, "monoB.wav"), 33);  // busy, not full
  engine->StopAllChannels();  // stops 1 to 3; channel 0 cannot be touched
  EXPECT_TRUE(fields(engine->ChannelAt(0)) == before);
  EXPECT_EQ(memcmp(&positionBefore, &engine->Position(0), sizeof positionBefore), 0);
  EXPECT_EQ(State(1), kStopped);
  EXPECT_TRUE(host.Events().empty());
  EXPECT_EQ(errors.codes, std::vector<int>{33});

  // Its own release succeeded: nobody released the lock in its place.
  EXPECT_EQ(holder.Release(), 0);
  EXPECT_EQ(Read(0).Bytes(), std::vector<uint8_t>(mono.begin(), mono.begin() + 4410));
  EXPECT_TRUE(engine->PlayStop(0));
  EXPECT_EQ(State(0), kStopped);
  EXPECT_EQ(HeldLock::ReleaseFailures(), 0);
}

TEST_F(ContentionTest, SetupClosesAChannelWhoseLockIsHeldElsewhere) {
  // Held a while: the set-up waits for it. Held longer than the set-up waits: the
  // channel delivers nothing for the new block size, and the next command closes it.
  for (bool briefly : {true, false}) {
    ASSERT_EQ(Load(0, "monoA.wav"), 0);
    engine->PlayStop(0);
    int32_t block = briefly ? 2048 : 4410;
    LockHolder holder;
    ASSERT_TRUE(holder.Start("ChannelLock0", false));
    host.Clear();
    // Briefly: released 300 ms into the set-up's wait, far inside its bound; otherwise held past it.
    std::thread releaser;
    if (briefly) releaser = std::thread([&] { Sleep(300); holder.Signal(); });
    ApplySetup(block);
    if (releaser.joinable()) releaser.join();
    EXPECT_EQ(engine->ChannelAt(0).loaded, !briefly) << briefly;
    ASSERT_EQ(holder.Release(), 0);
    EXPECT_FALSE(Read(0).ok);
    engine->PlayStop(0);
    EXPECT_FALSE(engine->ChannelAt(0).loaded);
    EXPECT_EQ(host.Count(kEventChannelClose), 1);
  }
}

TEST_F(ContentionTest, ALockThatCouldNotBeCreatedIsReportedAsSuch) {
  engine.reset();
  // The name is taken by another kind of object: the lock cannot be made.
  HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, "ChannelLock1");
  ASSERT_NE(squatter, nullptr);
  engine.reset(new ChannelEngine(&reporter));
  EXPECT_EQ(engine->ConstructionError(), 36);
  ApplySetup(4410);
  EXPECT_EQ(Load(1, "monoA.wav"), 36);
  EXPECT_EQ(Load(0, "stereo.wav"), 36);
  EXPECT_EQ(Load(0, "monoA.wav"), 0);
  EXPECT_EQ(errors.codes, (std::vector<int>{36, 36}));
  engine.reset();
  CloseHandle(squatter);
}

TEST_F(ContentionTest, AbandonedLockCountsAsObtained) {
  ASSERT_EQ(Load(0, "monoA.wav"), 0);
  engine->PlayStop(0);
  LockHolder holder;
  ASSERT_TRUE(holder.Start("ChannelLock0", true));
  EXPECT_EQ(holder.Release(), 0);
  std::vector<uint8_t> monoA = Bytes("monoA.raw");
  EXPECT_EQ(Read(0).Bytes(), std::vector<uint8_t>(monoA.begin(), monoA.begin() + 4410));
  EXPECT_EQ(Read(0).count, 4410);
  // Taken over and released again: another thread can have it.
  HANDLE lock = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "ChannelLock0");
  ASSERT_NE(lock, nullptr);
  DWORD result = WAIT_FAILED;
  std::thread([&] {
    if ((result = WaitForSingleObject(lock, 0)) == WAIT_OBJECT_0) ReleaseMutex(lock);
  }).join();
  CloseHandle(lock);
  EXPECT_EQ(result, WAIT_OBJECT_0);
}

}  // namespace
}  // namespace enginetest
