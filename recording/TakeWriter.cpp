#include "recording/TakeWriter.h"

#include <cstdio>

#include "wavedata/WaveFile.h"

namespace {
constexpr uint32_t kHeaderBytes = sizeof(WaveHeader);
constexpr uint32_t kRiffSizeOffset = 4;
constexpr uint32_t kDataSizeOffset = 40;
constexpr uint32_t kHeaderTail = 36;  // header bytes counted in the RIFF size besides the data

bool SeekTo(HANDLE file, uint64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}
}  // namespace

TakeWriter::~TakeWriter() {
  if (IsOpen()) Finish();
}

// The system's text for error, without its line break; a number when it has none.
bool TakeWriter::Fail(DWORD error) {
  systemError_ = error ? error : ERROR_WRITE_FAULT;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, systemError_, 0,
                           reason_, sizeof reason_, nullptr);
  while (n > 0 && (reason_[n - 1] == '\n' || reason_[n - 1] == '\r' || reason_[n - 1] == ' ')) reason_[--n] = '\0';
  if (n == 0) snprintf(reason_, sizeof reason_, "system error %lu", static_cast<unsigned long>(systemError_));
  return false;
}

// Called at the start of a take, on the interface thread.
bool TakeWriter::Create(const char* path, const WAVEFORMATEX& format) {
  Close();
  reason_[0] = '\0';
  systemError_ = 0;
  dataBytes_ = sinceRefresh_ = 0;
  refreshes_ = 0;
  blockAlign_ = format.nBlockAlign ? format.nBlockAlign : 1;
  interval_ = refreshInterval_ == kOneSecond ? format.nAvgBytesPerSec : refreshInterval_;
  // Readers may look at the take while it grows; nobody may write it meanwhile.
  file_ = CreateFileA(path ? path : "", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return Fail(GetLastError());
  WaveHeader header;
  MakePcmHeader(&header, format, 0);
  uint32_t written = 0;
  bool ok = WriteAll(&header, kHeaderBytes, &written) && FlushFileBuffers(file_);
  if (!ok) {
    if (!reason_[0]) Fail(GetLastError());
    // Nothing of the take could be kept: no empty file stays behind.
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    DeleteFileA(path);
    return false;
  }
  return true;
}

// A short write is followed by another for the rest: it either completes or says why not.
bool TakeWriter::WriteAll(const void* data, uint32_t bytes, uint32_t* written) {
  *written = 0;
  const char* p = static_cast<const char*>(data);
  while (*written < bytes) {
    DWORD n = 0;
    if (!WriteFile(file_, p + *written, bytes - *written, &n, nullptr)) return Fail(GetLastError());
    if (n == 0) return Fail(ERROR_HANDLE_DISK_FULL);
    *written += n;
  }
  return true;
}

bool TakeWriter::Fits(uint32_t bytes) const { return kHeaderTail + dataBytes_ + bytes <= riffLimit_; }

// On the recorder thread, once per block.
bool TakeWriter::Append(const void* data, uint32_t bytes) {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  uint32_t written = 0;
  bool ok = WriteAll(data, bytes, &written);
  dataBytes_ += written;
  sinceRefresh_ += written;
  if (!ok) return false;
  // Before another block of this size would take the header past a second behind.
  if (interval_ != 0 && sinceRefresh_ + bytes > interval_) return Refresh();
  return true;
}

// The sizes go in place (no new space is needed), then the file position returns to the end.
bool TakeWriter::WriteSizes() {
  const uint64_t whole = dataBytes_ - dataBytes_ % blockAlign_;
  const uint32_t dataSize = static_cast<uint32_t>(whole);
  const uint32_t riffSize = static_cast<uint32_t>(whole + kHeaderTail);
  uint32_t written = 0;
  bool ok = SeekTo(file_, kRiffSizeOffset) && WriteAll(&riffSize, 4, &written) && SeekTo(file_, kDataSizeOffset) &&
            WriteAll(&dataSize, 4, &written);
  if (!ok && !reason_[0]) Fail(GetLastError());
  if (!SeekTo(file_, kHeaderBytes + dataBytes_)) return ok ? Fail(GetLastError()) : false;
  return ok;
}

// Every block is already with the system (no buffer of ours holds any); the sizes
// join it here. No flush to the disk: the recorder thread must not wait on a slow
// disk mid-take (a process that dies loses nothing the system holds); Finish flushes.
bool TakeWriter::Refresh() {
  if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
  sinceRefresh_ = 0;
  ++refreshes_;
  return WriteSizes();
}

// The end of a take, also one cut by a failed write: the file keeps whole frames only.
bool TakeWriter::Finish() {
  if (!IsOpen()) return true;
  const char* keptReason = reason_[0] ? reason_ : nullptr;
  char earlier[kReasonSize];
  if (keptReason) lstrcpynA(earlier, reason_, sizeof earlier);
  dataBytes_ -= dataBytes_ % blockAlign_;
  // A partial frame at the end is cut off. Only when there is one: on a full disk the
  // system may refuse even a truncation, and the header's sizes decide what is read.
  LARGE_INTEGER length;
  if (GetFileSizeEx(file_, &length) && static_cast<uint64_t>(length.QuadPart) > kHeaderBytes + dataBytes_ &&
      SeekTo(file_, kHeaderBytes + dataBytes_))
    SetEndOfFile(file_);
  bool ok = WriteSizes();
  ok = FlushFileBuffers(file_) && ok;
  if (!CloseHandle(file_)) ok = false;
  file_ = INVALID_HANDLE_VALUE;
  if (!ok && !reason_[0]) Fail(GetLastError());
  // The reason a take was cut stays the one the user is told.
  if (keptReason) lstrcpynA(reason_, earlier, sizeof reason_);
  return ok;
}

void TakeWriter::Close() {
  if (!IsOpen()) return;
  CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}
