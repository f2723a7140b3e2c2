#include "host/CaptureFeed.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace hostkit {
namespace {

constexpr DWORD kAnswerTimeoutMs = 3000;

// The permutation of the sequence, shuffled by a 32-bit xorshift (as the feeder does).
struct Permutation {
  uint16_t value[65536];
  uint16_t index[65536];  // value -> position
  Permutation() {
    uint32_t state = 0x2545F491u;
    for (uint32_t i = 0; i < 65536; ++i) value[i] = static_cast<uint16_t>(i);
    for (uint32_t i = 65535; i > 0; --i) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      uint32_t j = state % (i + 1);
      uint16_t t = value[i];
      value[i] = value[j];
      value[j] = t;
    }
    for (uint32_t i = 0; i < 65536; ++i) index[value[i]] = static_cast<uint16_t>(i);
  }
};

const Permutation& Table() {
  static const Permutation table;
  return table;
}

uint16_t SegmentKey(uint64_t segment) {
  uint32_t x = static_cast<uint32_t>(segment);
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return static_cast<uint16_t>(x);
}

// The control file as Windows sees it: Z: and the Linux path with backslashes.
bool ControlPath(char* path, size_t size) {
  char unixPath[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("SONDREL_FEED", unixPath, sizeof unixPath);
  if (n == 0 || n >= sizeof unixPath || size < 3) return false;
  snprintf(path, size, "Z:%s", unixPath);
  for (char* p = path; *p; ++p)
    if (*p == '/') *p = '\\';
  return true;
}

void SetError(char* error, size_t size, const char* text) {
  if (error && size > 0) snprintf(error, size, "%s", text);
}

}  // namespace

bool FeedAvailable() { return GetEnvironmentVariableA("SONDREL_FEED", nullptr, 0) > 0; }

// The feeder polls the control file every few milliseconds: the command is written
// beside it and renamed into place, so it never reads half a line.
bool FeedSignal(const char* spec, char* error, size_t size) {
  char control[MAX_PATH], temporary[MAX_PATH + 16], ack[MAX_PATH + 8];
  if (!ControlPath(control, sizeof control)) {
    SetError(error, size, "no capture device: SONDREL_FEED is not set");
    return false;
  }
  snprintf(temporary, sizeof temporary, "%s.tmp%lu", control, GetCurrentProcessId());
  snprintf(ack, sizeof ack, "%s.ack", control);
  DeleteFileA(ack);
  HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    SetError(error, size, "the feeder's control file cannot be written");
    return false;
  }
  char line[600];
  int length = snprintf(line, sizeof line, "%s\n", spec ? spec : "");
  DWORD written = 0;
  bool ok = length > 0 && length < (int)sizeof line && WriteFile(file, line, (DWORD)length, &written, nullptr) &&
            written == (DWORD)length;
  CloseHandle(file);
  if (!ok || !MoveFileExA(temporary, control, MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(temporary);
    SetError(error, size, "the command could not be handed to the feeder");
    return false;
  }
  DWORD start = GetTickCount();
  while (GetTickCount() - start < kAnswerTimeoutMs) {
    HANDLE answer = CreateFileA(ack, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (answer != INVALID_HANDLE_VALUE) {
      char text[256] = {0};
      DWORD got = 0;
      ReadFile(answer, text, sizeof text - 1, &got, nullptr);
      CloseHandle(answer);
      text[got] = '\0';
      char* end = strchr(text, '\n');
      if (end) *end = '\0';
      if (strcmp(text, "ok") == 0) return true;
      SetError(error, size, text[0] ? text : "the feeder gave an empty answer");
      return false;
    }
    Sleep(5);
  }
  SetError(error, size, "the feeder did not answer within 3 s");
  return false;
}

bool StopFeed() { return FeedSignal("stop", nullptr, 0); }

int16_t SequenceValue(uint64_t k) {
  return static_cast<int16_t>(Table().value[k & 0xFFFF] ^ SegmentKey(k >> 16));
}

// The first sample fixes its position within each segment (the permutation is
// invertible); each segment's candidate is then checked sample by sample.
int64_t LocateInSequence(const int16_t* samples, size_t frames, int channels) {
  if (!samples || frames == 0 || channels < 1) return -1;
  const size_t count = frames * static_cast<size_t>(channels);
  const Permutation& table = Table();
  const uint16_t first = static_cast<uint16_t>(samples[0]);
  for (uint64_t segment = 0; segment < 65536; ++segment) {
    uint64_t k = (segment << 16) | table.index[first ^ SegmentKey(segment)];
    if (k % static_cast<uint64_t>(channels) != 0) continue;
    size_t i = 1;
    while (i < count && samples[i] == SequenceValue(k + i)) ++i;
    if (i == count) return static_cast<int64_t>(k / static_cast<uint64_t>(channels));
  }
  return -1;
}

}  // namespace hostkit
