// The bad-input corpus: every file ends in its code, with lengths and the converter
// giving defined values, in bounded time, and without touching memory outside a buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/common/TestKit.h"
#include "tests/wavedata/GuardedBuffer.h"
#include "wavedata/WaveFile.h"
#include "wavedata/WaveformatConverter.h"

namespace {

struct Case {
  std::string name;
  int expected;
  int header = -1;
  std::string failure;
};

std::vector<Case> LoadManifest() {
  std::vector<Case> cases;
  FILE* f = fopen(testkit::DataPath("wavedata\\bad\\manifest.txt").c_str(), "r");
  if (!f) return cases;
  char name[256];
  int code;
  while (fscanf(f, "%255s %d", name, &code) == 2) cases.push_back({name, code});
  fclose(f);
  return cases;
}

// Runs the loader's steps on one file: parse, lengths, converter for the host
// format, and one block read and converted. Failures are written into the case.
void RunCase(Case& c) {
  std::string path = testkit::DataPath("wavedata\\bad\\" + c.name);
  WaveFile file;
  file.SetQuiet(true);
  if (file.Open(path.c_str(), 0) != 0) {
    c.failure = "cannot open";
    return;
  }
  c.header = file.ReadHeader();
  // Defined values whatever the header holds.
  uint32_t length = file.GetLengthMs();
  uint32_t frames = file.GetFrameCount();
  const WaveHeader& h = file.Header();
  if (h.avgBytesPerSec < 1000 && length != 0) c.failure = "length without a rate";
  if (h.blockAlign == 0 && frames != 0) c.failure = "frames without a block align";
  if (c.header != 0) return;
  // Lengths count only the data the file holds, whatever its header promises.
  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes);
  uint32_t there = attributes.nFileSizeLow - file.DataStart();
  if (h.blockAlign && frames > there / h.blockAlign) c.failure = "frames beyond the end of the file";
  if (h.avgBytesPerSec >= 1000 && length > there / (h.avgBytesPerSec / 1000)) c.failure = "a length beyond the file";

  WAVEFORMATEX format, host;
  file.GetFormat(&format);
  MakePcmFormat(&host, 44100, 1, 16);
  WaveformatConverter converter;
  converter.SetQuiet(true);
  uint32_t readSize = 4410;
  int setup = converter.Setup(format, host, format.nChannels == 2);
  bool consistent = (format.nChannels == 1 || format.nChannels == 2) &&
                    format.nBlockAlign == (format.wBitsPerSample / 8) * format.nChannels;
  if (setup == 202) {
    if (!consistent || format.wBitsPerSample != 16) c.failure = "plays a format it cannot";
  } else {
    int code = converter.AllocateBuffers(4410, &readSize);
    if (code != 0 && code != 17) c.failure = "unexpected converter code " + std::to_string(code);
    if (code == 17) {
      if (converter.BuffersAllocated()) c.failure = "buffers for a refused format";
      return;
    }
    if (!consistent) c.failure = "accepted contradicting fields";
  }
  // One block as the channel reader takes it, into a buffer that ends at a guard page.
  GuardedBuffer block(readSize);
  if (file.Seek(static_cast<int32_t>(file.DataStart()), 0) != 0) {
    c.failure = "cannot seek to the data";
    return;
  }
  uint32_t got = 0;
  if (file.Read(block.data(), readSize, &got) != 0 || got > readSize) c.failure = "read beyond the block";
  if (setup != 202 && converter.Convert(block.data(), got) > converter.BufferSize())
    c.failure = "converted more than a buffer holds";
  file.Close();
}

struct CorpusRun {
  std::vector<Case>* cases;
  volatile LONG current;
};

DWORD WINAPI RunAll(void* param) {
  CorpusRun* run = static_cast<CorpusRun*>(param);
  for (size_t i = 0; i < run->cases->size(); ++i) {
    InterlockedExchange(&run->current, static_cast<LONG>(i));
    RunCase((*run->cases)[i]);
  }
  return 0;
}

TEST(BadInput, EveryFileEndsInItsCodeInBoundedTime) {
  std::vector<Case> cases = LoadManifest();
  ASSERT_GT(cases.size(), 100u) << "the corpus is missing";
  CorpusRun run = {&cases, -1};
  // A parse that loops must fail the test, not hang it.
  HANDLE worker = CreateThread(nullptr, 0, RunAll, &run, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  DWORD waited = WaitForSingleObject(worker, 60000);
  if (waited != WAIT_OBJECT_0) {
    LONG stuck = run.current;
    TerminateThread(worker, 1);
    CloseHandle(worker);
    FAIL() << "no answer within 60 s; stuck on " << (stuck >= 0 ? cases[stuck].name : std::string("?"));
  }
  CloseHandle(worker);
  for (const Case& c : cases) {
    EXPECT_EQ(c.header, c.expected) << c.name;
    EXPECT_TRUE(c.failure.empty()) << c.name << ": " << c.failure;
  }
}

}  // namespace
