#include "tests/engine/EngineTestKit.h"

#include "engine/ChannelLock.h"
#include "tests/common/TestKit.h"

namespace enginetest {

namespace {
TestHost* g_host = nullptr;
}

std::string File(const std::string& name) { return testkit::DataPath("engine\\" + name); }

std::vector<uint8_t> Bytes(const std::string& name) { return testkit::ReadFileBytes(File(name)); }

TestHost::TestHost() { g_host = this; }

TestHost::~TestHost() { g_host = nullptr; }

int32_t TestHost::OnEvent(EventRecord* record) {
  TestHost* host = g_host;
  if (!host) return 1;
  {
    std::lock_guard<std::mutex> hold(host->lock_);
    host->events_.push_back(*record);
  }
  int32_t code = record->code;
  return (code >= 0 && code < 8 && host->refuse_[code]) ? 0 : 1;
}

void TestHost::Refuse(int32_t code, bool refuse) { InterlockedExchange(&refuse_[code], refuse ? 1 : 0); }

std::vector<EventRecord> TestHost::Events() {
  std::lock_guard<std::mutex> hold(lock_);
  return events_;
}

int TestHost::Count(int32_t code) {
  int n = 0;
  for (const EventRecord& record : Events()) n += record.code == code;
  return n;
}

void TestHost::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  events_.clear();
}

void RecordingView::Note(volatile LONG* counts, int c) {
  if (retired_) InterlockedIncrement(&late_);
  if (c >= 0 && c < kNumChannels) InterlockedIncrement(&counts[c]);
}

void RecordingView::Reset() {
  for (int c = 0; c < kNumChannels; ++c) shown_[c] = refreshed_[c] = invalidated_[c] = 0;
  forgotten_ = 0;
}

std::vector<uint8_t> Block::Bytes() const {
  if (!data || count <= 0) return {};
  return std::vector<uint8_t>(data, data + count);
}

void EngineTest::SetUp() {
  engine.reset(new ChannelEngine(&reporter));
  ASSERT_TRUE(engine->Valid());
  engine->SetEventCallback(&TestHost::OnEvent);
  engine->SetPluginHandle(0x5A5A);
  ApplySetup(4410);
  host.Clear();
}

void EngineTest::TearDown() {
  engine.reset();
  EXPECT_EQ(HeldLock::ReleaseFailures(), 0);
}

void EngineTest::ApplySetup(int32_t blockSize, int32_t fileBuffer) {
  SetupRecord setup = {{0, blockSize, 0, fileBuffer, 0, 0}};
  engine->ApplySetup(setup);
}

int EngineTest::Load(int c, const std::string& name, int32_t* partner) {
  int32_t ignored;
  return engine->LoadChannel(c, File(name).c_str(), partner ? partner : &ignored);
}

Block EngineTest::Read(int c) {
  Block block = {false, nullptr, -1};
  block.ok = engine->ReadStreamChannel(c, &block.data, &block.count);
  return block;
}

std::vector<uint8_t> EngineTest::ReadToEnd(int c, int limit) {
  std::vector<uint8_t> joined;
  for (int i = 0; i < limit; ++i) {
    Block block = Read(c);
    if (!block.ok) break;
    std::vector<uint8_t> bytes = block.Bytes();
    joined.insert(joined.end(), bytes.begin(), bytes.end());
  }
  return joined;
}

}  // namespace enginetest
