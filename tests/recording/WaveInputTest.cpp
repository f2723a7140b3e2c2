// The wave input device on the project's capture device (a private PulseAudio daemon
// whose pipe source is fed the generated sequence): device list, takes in mono and
// stereo compared sample by sample with the feed, stopping, failures, tear-down.
#include <windows.h>
#include <mmsystem.h>
#include <tlhelp32.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/ErrorCodes.h"
#include "gtest/gtest.h"
#include "host/CaptureFeed.h"
#include "recording/WaveInput.h"
#include "tests/common/TestKit.h"
#include "wavedata/WaveFile.h"

namespace {

// What the data callback saw: the blocks in order and the threads it ran on.
struct Seen {
  CRITICAL_SECTION lock;
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> sizes;
  std::set<DWORD> threads;
  HANDLE enough = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  size_t want = 1;
  Seen() { InitializeCriticalSection(&lock); }
  ~Seen() {
    CloseHandle(enough);
    DeleteCriticalSection(&lock);
  }
  size_t Blocks() {
    EnterCriticalSection(&lock);
    size_t n = sizes.size();
    LeaveCriticalSection(&lock);
    return n;
  }
};

void Collect(void* context, const uint8_t* block, uint32_t bytes) {
  Seen* seen = static_cast<Seen*>(context);
  EnterCriticalSection(&seen->lock);
  seen->bytes.insert(seen->bytes.end(), block, block + bytes);
  seen->sizes.push_back(bytes);
  seen->threads.insert(GetCurrentThreadId());
  if (seen->sizes.size() >= seen->want) SetEvent(seen->enough);
  LeaveCriticalSection(&seen->lock);
}

// Without the project's capture device (SONDREL_NO_CAPTURE=1) takes record whatever the
// machine's input gives, and only the comparison with the feed is left out.
void Feed(const char* spec) {
  if (!hostkit::FeedAvailable()) return;
  char error[256] = "";
  ASSERT_TRUE(hostkit::FeedSignal(spec, error, sizeof error)) << spec << ": " << error;
}

// A device set up as the pre-recorder does it, on the default input device.
void Prepare(WaveInput& input, uint16_t channels, Seen* seen) {
  input.SetDeviceCount(static_cast<int32_t>(waveInGetNumDevs()));
  input.EnumerateDevices();
  input.SelectDevice(0);
  input.SetFormat(44100, channels, 16);
  if (seen) input.SetDataCallback(Collect, seen);
}

// The file as written: header fields, and the samples when the sizes agree with the disk.
struct TakeFile {
  WaveHeader header = {};
  uint64_t fileSize = 0;
  std::vector<uint8_t> data;
};

TakeFile ReadTake(const std::string& path) {
  TakeFile take;
  std::vector<unsigned char> bytes = testkit::ReadFileBytes(path);
  take.fileSize = bytes.size();
  if (bytes.size() >= sizeof(WaveHeader)) {
    memcpy(&take.header, bytes.data(), sizeof(WaveHeader));
    take.data.assign(bytes.begin() + sizeof(WaveHeader), bytes.end());
  }
  return take;
}

int ProcessThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  CloseHandle(snapshot);
  return count;
}

// Polls (bounded) until the process is back to the given number of threads.
bool ThreadsBackTo(int count) {
  for (int i = 0; i < 200; ++i) {
    if (ProcessThreads() <= count) return true;
    Sleep(10);
  }
  return false;
}

void Ended(void* event) { SetEvent(static_cast<HANDLE>(event)); }

}  // namespace

TEST(WaveInputSetup, BufferRules) {
  WaveInput input;
  // Start without buffers opens nothing.
  EXPECT_EQ(input.Start("Z:\\nowhere\\take.wav", 65536), Error::NotReady);
  EXPECT_FALSE(input.DeviceOpen());
  // Sizes the device cannot fill are refused and leave no buffers behind.
  EXPECT_EQ(input.AllocateBuffers(5, 0), Error::BufferSize);
  EXPECT_EQ(input.AllocateBuffers(5, 8190), Error::BufferSize);  // half a stereo frame over
  EXPECT_EQ(input.AllocateBuffers(0, 8192), Error::BufferSize);
  EXPECT_FALSE(input.BuffersAllocated());
  input.SetFormat(44100, 1, 16);
  ASSERT_EQ(input.AllocateBuffers(3, 8190), 0);
  EXPECT_TRUE(input.BuffersAllocated());
  EXPECT_EQ(input.BufferCount(), 3);
  EXPECT_TRUE(input.AllBuffersReturned());
  input.FreeBuffers();
  EXPECT_FALSE(input.BuffersAllocated());
}

TEST(WaveInputDevices, ListMatchesThePlatform) {
  UINT count = waveInGetNumDevs();
  ASSERT_GT(count, 0u) << "no wave input device: is the capture daemon running?";
  WaveInput input;
  Prepare(input, 2, nullptr);
  List* list = input.Devices();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Count(), static_cast<int32_t>(count));
  EXPECT_EQ(input.DeviceNumber(), 0);

  // Refused while the device is open; the choice stays.
  ASSERT_EQ(input.AllocateBuffers(5, 8192), 0);
  std::string path = testkit::ScratchDir("recording_select") + "\\take.wav";
  ASSERT_EQ(input.Start(path.c_str(), 65536), 0);
  EXPECT_TRUE(input.DeviceOpen());
  EXPECT_EQ(input.SelectDevice(static_cast<int32_t>(count)), Error::DeviceBusy);
  EXPECT_EQ(input.DeviceNumber(), 0);
  EXPECT_EQ(input.AllocateBuffers(5, 8192), Error::DeviceBusy);
  EXPECT_EQ(input.Stop(), 0);
  EXPECT_FALSE(input.DeviceOpen());
  // Closed: a number beyond the devices chooses none.
  EXPECT_EQ(input.SelectDevice(static_cast<int32_t>(count)), 0);
  EXPECT_EQ(input.DeviceNumber(), -1);
}

class WaveInputTake : public ::testing::TestWithParam<int> {};

// A take fed the sequence: the file holds exactly the blocks the callback saw, in
// order, and they are one unbroken stretch of the feed.
TEST_P(WaveInputTake, FileIsOneStretchOfTheFeed) {
  const uint16_t channels = static_cast<uint16_t>(GetParam());
  Feed(channels == 1 ? "sequence 1" : "sequence 2");
  Seen seen;
  seen.want = 12;
  WaveInput input;
  Prepare(input, channels, &seen);
  ASSERT_EQ(input.AllocateBuffers(5, 8192), 0);
  std::string path = testkit::ScratchDir("recording_takes") + "\\take.wav";
  ASSERT_EQ(input.Start(path.c_str(), 65536), 0);
  ASSERT_EQ(input.QueueBuffers(), 0);  // Start queued them before the device started
  EXPECT_TRUE(input.Recording());
  ASSERT_EQ(WaitForSingleObject(seen.enough, 10000), WAIT_OBJECT_0) << "blocks seen: " << seen.Blocks();
  ASSERT_EQ(input.Stop(), 0);
  EXPECT_FALSE(input.Recording());
  EXPECT_FALSE(input.DeviceOpen());
  EXPECT_TRUE(input.AllBuffersReturned());

  TakeFile take = ReadTake(path);
  EXPECT_EQ(take.header.channels, channels);
  EXPECT_EQ(take.header.samplesPerSec, 44100u);
  EXPECT_EQ(take.header.bitsPerSample, 16);
  EXPECT_EQ(take.header.dataSize, input.BytesRecorded());
  EXPECT_EQ(take.header.dataSize % 8192, 0u);
  EXPECT_GE(take.header.dataSize, 12u * 8192);
  EXPECT_EQ(take.header.riffSize, take.header.dataSize + 36);
  EXPECT_EQ(take.fileSize, take.header.dataSize + 44u);
  EXPECT_TRUE(take.data == seen.bytes) << "file and data callback differ";
  for (uint32_t size : seen.sizes) EXPECT_EQ(size, 8192u);
  ASSERT_EQ(seen.threads.size(), 1u);
  EXPECT_NE(*seen.threads.begin(), GetCurrentThreadId());

  const int16_t* samples = reinterpret_cast<const int16_t*>(take.data.data());
  size_t frames = take.data.size() / (2u * channels);
  if (hostkit::FeedAvailable()) {
    EXPECT_GE(hostkit::LocateInSequence(samples, frames, channels), 0) << "not one stretch of the feed";
  }
}

INSTANTIATE_TEST_SUITE_P(MonoAndStereo, WaveInputTake, ::testing::Values(1, 2));

// A take ends by itself before its RIFF size would pass the limit (the 4 GiB rule
// with a small limit): whole blocks up to there, sizes that match the file, the
// owner told once; the next take starts afresh.
TEST(WaveInputLimit, TakeEndsCleanlyAtTheRiffLimit) {
  Feed("sequence 1");
  WaveInput input;
  Prepare(input, 1, nullptr);
  HANDLE ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  input.SetTakeEndedCallback(Ended, ended);
  input.SetRiffLimit(36 + 3 * 4410 + 4409);  // room for three blocks, not four
  ASSERT_EQ(input.AllocateBuffers(5, 4410), 0);
  std::string path = testkit::ScratchDir("recording_limit") + "\\take.wav";
  for (int take = 0; take < 2; ++take) {
    ResetEvent(ended);
    ASSERT_EQ(input.Start(path.c_str(), 65536), 0);
    ASSERT_EQ(WaitForSingleObject(ended, 10000), WAIT_OBJECT_0) << "the take did not end at the limit";
    EXPECT_EQ(input.TakeEndReason(), WaveInput::kSizeLimit);
    ASSERT_EQ(input.Stop(), 0);
    EXPECT_FALSE(input.DeviceOpen());
    TakeFile file = ReadTake(path);
    EXPECT_EQ(file.header.dataSize, 3u * 4410);
    EXPECT_EQ(file.header.riffSize, file.header.dataSize + 36);
    EXPECT_EQ(file.fileSize, file.header.dataSize + 44u);
    EXPECT_EQ(input.BytesRecorded(), 3u * 4410);
  }
  CloseHandle(ended);
}

// The writer stalls in its first block (a disk that hangs) while the device goes on.
struct Stall {
  HANDLE entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  Seen seen;
  ~Stall() {
    CloseHandle(entered);
    CloseHandle(release);
    CloseHandle(ended);
  }
};

void StallFirst(void* context, const uint8_t* block, uint32_t bytes) {
  Stall* stall = static_cast<Stall*>(context);
  Collect(&stall->seen, block, bytes);
  SetEvent(stall->entered);
  WaitForSingleObject(stall->release, 20000);
}

DWORD WINAPI StopOn(void* input) { return static_cast<DWORD>(static_cast<WaveInput*>(input)->Stop()); }

// Waits (bounded) until the ring holds `blocks` blocks while the writer stalls.
bool PendingReaches(WaveInput& input, uint32_t blocks, DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 10) {
    if (input.PendingBlocks() >= blocks) return true;
    Sleep(10);
  }
  return false;
}

// A writer held for 1.5 s (six times what the device's own buffers hold) loses no
// block: a stop meanwhile (from another thread) writes everything recorded before it,
// one stretch of the feed. A stall longer than the ring ends the take by itself, the
// file whole up to there and still one stretch of the feed.
TEST(WaveInputStall, WriterStallLosesNothing) {
  Feed("sequence 1");
  const uint32_t block = 4410;  // 50 ms of mono
  std::string path = testkit::ScratchDir("recording_stall") + "\\take.wav";
  for (int pass = 0; pass < 2; ++pass) {
    const bool overrun = pass == 1;
    Stall stall;
    WaveInput input;
    Prepare(input, 1, nullptr);
    input.SetDataCallback(StallFirst, &stall);
    input.SetTakeEndedCallback(Ended, stall.ended);
    ASSERT_EQ(input.AllocateBuffers(5, block), 0);
    ASSERT_EQ(input.Start(path.c_str(), 65536), 0);
    ASSERT_EQ(WaitForSingleObject(stall.entered, 10000), WAIT_OBJECT_0);
    if (!overrun) {
      ASSERT_TRUE(PendingReaches(input, 30, 10000)) << "the ring holds " << input.PendingBlocks() << " blocks";
      HANDLE stopper = CreateThread(nullptr, 0, StopOn, &input, 0, nullptr);
      // The stop takes the device's buffers back while the writer still stalls.
      for (int i = 0; i < 500 && input.Buffer(0)->dwUser != 0; ++i) Sleep(10);
      SetEvent(stall.release);
      ASSERT_EQ(WaitForSingleObject(stopper, 20000), WAIT_OBJECT_0);
      DWORD code = 1;
      GetExitCodeThread(stopper, &code);
      CloseHandle(stopper);
      EXPECT_EQ(code, 0u);
      EXPECT_EQ(input.TakeEndReason(), WaveInput::kRunning);
      EXPECT_GE(input.MostPendingBlocks(), 30u);
    } else {
      const DWORD ringMs = WaveInput::kRingMs + 5000;
      ASSERT_EQ(WaitForSingleObject(stall.ended, ringMs), WAIT_OBJECT_0) << "the take did not end when the ring was full";
      EXPECT_EQ(input.TakeEndReason(), WaveInput::kOverrun);
      SetEvent(stall.release);
      ASSERT_EQ(input.Stop(), 0);
      EXPECT_GE(input.BytesRecorded(), uint64_t{WaveInput::kRingMs} * 88200 / 1000 - block);
    }
    EXPECT_FALSE(input.DeviceOpen());
    TakeFile take = ReadTake(path);
    EXPECT_GE(take.header.dataSize, 30u * block) << "pass " << pass;  // the stalled block counts as pending
    EXPECT_EQ(take.header.dataSize % block, 0u);
    EXPECT_EQ(take.header.dataSize, input.BytesRecorded());
    EXPECT_EQ(take.fileSize, take.header.dataSize + 44u);
    EXPECT_TRUE(take.data == stall.seen.bytes) << "pass " << pass;
    if (hostkit::FeedAvailable()) {
      EXPECT_GE(hostkit::LocateInSequence(reinterpret_cast<const int16_t*>(take.data.data()), take.data.size() / 2, 1), 0)
          << "pass " << pass << ": not one stretch of the feed";
    }
  }
}

// Buffers of two seconds each: Stop takes them back at once instead of waiting for
// them to fill, and finishes the file.
TEST(WaveInputStop, LargeBuffersStopAtOnce) {
  Feed("sequence 2");
  Seen seen;
  WaveInput input;
  Prepare(input, 2, &seen);
  const uint32_t twoSeconds = 2 * 176400;
  ASSERT_EQ(input.AllocateBuffers(5, twoSeconds), 0);
  std::string path = testkit::ScratchDir("recording_large") + "\\take.wav";
  ASSERT_EQ(input.Start(path.c_str(), 65536), 0);
  ASSERT_EQ(input.QueueBuffers(), 0);
  ASSERT_EQ(WaitForSingleObject(seen.enough, 10000), WAIT_OBJECT_0);
  DWORD before = GetTickCount();
  ASSERT_EQ(input.Stop(), 0);
  DWORD took = GetTickCount() - before;
  EXPECT_LT(took, 1000u) << "Stop waited for the buffers to fill";
  EXPECT_FALSE(input.DeviceOpen());
  EXPECT_TRUE(input.AllBuffersReturned());
  TakeFile take = ReadTake(path);
  EXPECT_EQ(take.header.dataSize, input.BytesRecorded());
  EXPECT_EQ(take.header.dataSize % twoSeconds, 0u);
  EXPECT_EQ(take.header.dataSize, seen.bytes.size());
  EXPECT_EQ(take.fileSize, take.header.dataSize + 44u);
}

// Run by test_waveinput_nodevice, whose environment points PULSE_SERVER at no daemon.
TEST(WaveInputNoDevice, StartFailsWithThePlatformText) {
  if (!GetEnvironmentVariableA("SONDREL_NO_DEVICE", nullptr, 0)) GTEST_SKIP() << "runs in test_waveinput_nodevice";
  ASSERT_EQ(waveInGetNumDevs(), 0u);
  std::string path = testkit::ScratchDir("recording_nodevice") + "\\take.wav";
  WaveInput input;
  Prepare(input, 1, nullptr);
  input.SetQuiet(true);
  EXPECT_EQ(input.Devices(), nullptr);
  EXPECT_EQ(input.DeviceNumber(), -1);
  ASSERT_EQ(input.AllocateBuffers(5, 8192), 0);
  EXPECT_EQ(input.Start(path.c_str(), 65536), Error::WaveDevice);
  // The text the platform gives for the same open.
  HWAVEIN handle = nullptr;
  MMRESULT result = waveInOpen(&handle, WAVE_MAPPER, &input.Format(), 0, 0, CALLBACK_NULL);
  ASSERT_NE(result, MMSYSERR_NOERROR);
  char text[256];
  waveInGetErrorTextA(result, text, sizeof text);
  // The plug-in's words first, then the platform's text.
  EXPECT_EQ(std::string(input.ErrorText()), std::string("The default recording device could not be opened: ") + text);
  EXPECT_FALSE(input.DeviceOpen());
  EXPECT_FALSE(input.Recording());
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << "a file was left behind";
}

// Deleting a recording device stops the take, finishes its file and ends its thread;
// many short takes keep working and leave no thread behind.
TEST(WaveInputLifetime, DestroyWhileRecordingAndManyCycles) {
  Feed("sequence 1");
  std::string dir = testkit::ScratchDir("recording_cycles");
  std::string path = dir + "\\take.wav";
  {  // One take first: the platform keeps threads of its own once wave input is used.
    WaveInput input;
    Prepare(input, 1, nullptr);
    ASSERT_EQ(input.AllocateBuffers(5, 8192), 0);
    ASSERT_EQ(input.Start(path.c_str(), 65536), 0);
    ASSERT_EQ(input.Stop(), 0);
  }
  int baseline = ProcessThreads();
  ASSERT_GT(baseline, 0);

  Seen seen;
  seen.want = 3;
  WaveInput* input = new WaveInput();
  Prepare(*input, 1, &seen);
  ASSERT_EQ(input->AllocateBuffers(5, 4410), 0);
  ASSERT_EQ(input->Start(path.c_str(), 65536), 0);
  ASSERT_EQ(input->QueueBuffers(), 0);
  ASSERT_EQ(WaitForSingleObject(seen.enough, 10000), WAIT_OBJECT_0);
  EXPECT_GT(ProcessThreads(), baseline);
  delete input;
  size_t blocks = seen.Blocks();
  EXPECT_TRUE(ThreadsBackTo(baseline)) << ProcessThreads() << " threads, " << baseline << " before";
  EXPECT_EQ(seen.Blocks(), blocks);
  TakeFile take = ReadTake(path);
  EXPECT_EQ(take.header.dataSize, blocks * 4410);
  EXPECT_EQ(take.fileSize, take.header.dataSize + 44u);

  WaveInput cycling;
  Prepare(cycling, 2, nullptr);
  ASSERT_EQ(cycling.AllocateBuffers(5, 8192), 0);
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(cycling.Start(path.c_str(), 65536), 0) << "cycle " << i;
    ASSERT_EQ(cycling.QueueBuffers(), 0) << "cycle " << i;
    ASSERT_EQ(cycling.Stop(), 0) << "cycle " << i;
    ASSERT_FALSE(cycling.DeviceOpen());
  }
  TakeFile last = ReadTake(path);
  EXPECT_EQ(last.fileSize, last.header.dataSize + 44u);
  EXPECT_TRUE(ThreadsBackTo(baseline)) << ProcessThreads() << " threads, " << baseline << " before";
}
