// A test host for the channel engine: event recording with refusals, a view that
// records the engine's display calls, and a fixture with an
// engine over the real named channel locks.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/Channel.h"
#include "engine/ChannelEngine.h"
#include "core/Object.h"
#include "tests/common/ErrorRecorder.h"

namespace enginetest {

// A file made by make_data.sh, as a Windows path.
std::string File(const std::string& name);
// The whole content of such a file (raw sample data for the *.raw files).
std::vector<uint8_t> Bytes(const std::string& name);

// The host's side of the events: recorded in order, answered per code.
class TestHost {
 public:
  TestHost();
  ~TestHost();
  static int32_t OnEvent(EventRecord* record);

  void Refuse(int32_t code, bool refuse);
  std::vector<EventRecord> Events();
  int Count(int32_t code);
  void Clear();

 private:
  std::mutex lock_;
  std::vector<EventRecord> events_;
  volatile LONG refuse_[8] = {};
};

// Records every display call; calls after Retire() count as faults.
class RecordingView : public ChannelView {
 public:
  void ShowChannelState(int c) override { Note(shown_, c); }
  void RefreshStrip(int c) override { Note(refreshed_, c); }
  void InvalidatePosition(int c) override { Note(invalidated_, c); }
  void ForgetPressedControl() override { InterlockedIncrement(&forgotten_); }

  int Shown(int c) const { return shown_[c]; }
  int Refreshed(int c) const { return refreshed_[c]; }
  int Invalidated(int c) const { return invalidated_[c]; }
  int Forgotten() const { return forgotten_; }
  int CallsAfterRetire() const { return late_; }
  void Retire() { InterlockedExchange(&retired_, 1); }
  void Reset();

 private:
  void Note(volatile LONG* counts, int c);
  volatile LONG shown_[kNumChannels] = {};
  volatile LONG refreshed_[kNumChannels] = {};
  volatile LONG invalidated_[kNumChannels] = {};
  volatile LONG forgotten_ = 0;
  volatile LONG retired_ = 0;
  volatile LONG late_ = 0;
};

// Stands in for the main window object that shows the engine's own errors.
class WindowReporter : public Object {
 public:
  WindowReporter() { classId_ = kUserInterface; }
};

// What one readStreamChannel call gave.
struct Block {
  bool ok;
  uint8_t* data;
  int32_t count;
  std::vector<uint8_t> Bytes() const;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // setupAudioSystem with block size and file buffer size.
  void ApplySetup(int32_t blockSize, int32_t fileBuffer = 65536);
  // Loads a data file into channel c; the load's result.
  int Load(int c, const std::string& name, int32_t* partner = nullptr);
  Block Read(int c);
  // Reads channel c until it returns false (at most limit calls) and joins what it gave.
  std::vector<uint8_t> ReadToEnd(int c, int limit = 10000);
  int32_t State(int c) { return engine->ChannelAt(c).state; }

  testkit::ErrorRecorder errors;
  TestHost host;
  WindowReporter reporter;
  RecordingView view;
  std::unique_ptr<ChannelEngine> engine;
};

}  // namespace enginetest
