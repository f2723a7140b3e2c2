#include "wavedata/MultimediaFile.h"

#include <climits>
#include <cstring>

#include "core/ErrorCodes.h"

MultimediaFile::MultimediaFile() { classId_ = kMultimediaFile; }

MultimediaFile::~MultimediaFile() {
  if (handle_) mmioClose(handle_, 0);
}

// Opens the file itself and hands the handle to the multimedia service: the
// service's own open goes through a DOS call whose path buffer holds 128
// characters, too few for the paths people keep samples under. Mode 4096 creates
// or truncates the file for reading and writing, any other mode reads. No I/O
// buffer yet (see SetBuffer). Closing the service's handle closes the file.
bool MultimediaFile::OpenResource(const char* name, uint32_t mode) {
  if (handle_) {
    mmioClose(handle_, 0);
    handle_ = nullptr;
  }
  const bool create = mode == kModeCreate;
  HANDLE file = CreateFileA(name, create ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ,
                            create ? FILE_SHARE_READ : (FILE_SHARE_READ | FILE_SHARE_WRITE), nullptr,
                            create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  MMIOINFO info;
  memset(&info, 0, sizeof info);
  info.fccIOProc = FOURCC_DOS;
  // Kernel handles carry 32 significant bits, also in 64-bit processes.
  info.adwInfo[0] = static_cast<DWORD>(reinterpret_cast<DWORD_PTR>(file));
  handle_ = mmioOpenA(nullptr, &info, create ? MMIO_READWRITE : MMIO_READ);
  if (!handle_) CloseHandle(file);
  return handle_ != nullptr;
}

// Closes the handle; a refused close keeps it.
bool MultimediaFile::CloseResource() {
  if (!handle_) return true;
  if (mmioClose(handle_, 0) != 0) return false;
  handle_ = nullptr;
  return true;
}

// Called for every block of samples and header field read.
int MultimediaFile::Read(void* buffer, uint32_t count, uint32_t* got) {
  if (got) *got = 0;
  if (!open_ || !handle_) return Fail(Error::FileNotOpen);
  if (count > LONG_MAX) count = LONG_MAX;
  LONG n = mmioRead(handle_, static_cast<HPSTR>(buffer), static_cast<LONG>(count));
  if (n < 0) return Fail(Error::Read);
  if (got) *got = static_cast<uint32_t>(n);
  lastError_ = 0;
  return 0;
}

// A short write is an error: a partly written block would corrupt the file silently.
int MultimediaFile::Write(const void* buffer, uint32_t count, uint32_t* written) {
  if (written) *written = 0;
  if (!open_ || !handle_) return Fail(Error::FileNotOpen);
  if (count > LONG_MAX) return Fail(Error::Write);
  LONG n = mmioWrite(handle_, static_cast<const char*>(buffer), static_cast<LONG>(count));
  if (n < 0 || static_cast<uint32_t>(n) != count) return Fail(Error::Write);
  if (written) *written = static_cast<uint32_t>(n);
  lastError_ = 0;
  return 0;
}

// Called to rewind to the data start, to skip chunks and before the final header.
int MultimediaFile::Seek(int32_t offset, int32_t origin) {
  if (!open_ || !handle_) return Fail(Error::FileNotOpen);
  int how = (origin == kFromCurrent) ? SEEK_CUR : SEEK_SET;
  if (how == SEEK_SET && offset < 0) return Fail(Error::Seek);
  if (mmioSeek(handle_, offset, how) == -1) return Fail(Error::Seek);
  lastError_ = 0;
  return 0;
}

// Called where a position must be remembered (the data start).
int32_t MultimediaFile::Tell() {
  if (!open_ || !handle_) {
    ReportError(Error::FileNotOpen);
    return -1;
  }
  LONG position = mmioSeek(handle_, 0, SEEK_CUR);
  if (position < 0) ReportError(Error::Seek);
  return position;
}

// Called after a header was read, to see how much of the data is really there.
int32_t MultimediaFile::Length() {
  int32_t position = Tell();
  if (position < 0) return -1;
  LONG end = mmioSeek(handle_, 0, SEEK_END);
  if (mmioSeek(handle_, position, SEEK_SET) == -1 || end < 0) {
    ReportError(Error::Seek);
    return -1;
  }
  return end;
}

// Called once after opening with the host's file buffer size.
int MultimediaFile::SetBuffer(uint32_t size) {
  if (!handle_ || size > LONG_MAX || mmioSetBuffer(handle_, nullptr, static_cast<LONG>(size), 0) != 0)
    return Fail(Error::FileBuffer);
  lastError_ = 0;
  return 0;
}
