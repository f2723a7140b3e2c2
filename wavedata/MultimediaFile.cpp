#include "wavedata/MultimediaFile.h"

#include <cstring>
#include <new>

#include "core/ErrorCodes.h"

MultimediaFile::MultimediaFile() { classId_ = kMultimediaFile; }

MultimediaFile::~MultimediaFile() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

// Mode 4096 creates or truncates the file for reading and writing, any other mode
// reads. No read buffer yet (see SetBuffer).
bool MultimediaFile::OpenResource(const char* name, uint32_t mode) {
  if (handle_ != INVALID_HANDLE_VALUE) {
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  const bool create = mode == kModeCreate;
  handle_ = CreateFileA(name, create ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ,
                        create ? FILE_SHARE_READ : (FILE_SHARE_READ | FILE_SHARE_WRITE), nullptr,
                        create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  position_ = filePointer_ = 0;
  bufferStart_ = 0;
  bufferFill_ = 0;
  return handle_ != INVALID_HANDLE_VALUE;
}

// Closes the handle; a refused close keeps it.
bool MultimediaFile::CloseResource() {
  if (handle_ == INVALID_HANDLE_VALUE) return true;
  if (!CloseHandle(handle_)) return false;
  handle_ = INVALID_HANDLE_VALUE;
  buffer_.reset();
  bufferSize_ = 0;
  bufferFill_ = 0;
  return true;
}

bool MultimediaFile::PlaceFilePointer(uint64_t position) {
  if (position == filePointer_) return true;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN)) return false;
  filePointer_ = position;
  return true;
}

bool MultimediaFile::ReadDirect(uint8_t* buffer, uint32_t count, uint32_t* got) {
  *got = 0;
  if (!PlaceFilePointer(position_)) return false;
  while (*got < count) {
    DWORD n = 0;
    if (!ReadFile(handle_, buffer + *got, count - *got, &n, nullptr)) return false;
    filePointer_ += n;
    if (n == 0) break;
    *got += n;
  }
  return true;
}

// Called for every block of samples and header field read. Reads of at least the
// buffer's size go straight to the file; smaller ones are served from the buffer,
// which is refilled from the current position when it holds nothing of it.
int MultimediaFile::Read(void* buffer, uint32_t count, uint32_t* got) {
  if (got) *got = 0;
  if (!open_ || handle_ == INVALID_HANDLE_VALUE) return Fail(Error::FileNotOpen);
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint32_t total = 0;
  while (total < count) {
    if (position_ >= bufferStart_ && position_ < bufferStart_ + bufferFill_) {
      uint32_t offset = static_cast<uint32_t>(position_ - bufferStart_);
      uint32_t n = bufferFill_ - offset;
      if (n > count - total) n = count - total;
      memcpy(out + total, buffer_.get() + offset, n);
      position_ += n;
      total += n;
      continue;
    }
    uint32_t n = 0;
    if (!buffer_ || count - total >= bufferSize_) {
      if (!ReadDirect(out + total, count - total, &n)) return Fail(Error::Read);
      position_ += n;
      total += n;
      break;  // a direct read stops short only at the end of the file
    }
    bufferFill_ = 0;
    bufferStart_ = position_;
    if (!ReadDirect(buffer_.get(), bufferSize_, &n)) return Fail(Error::Read);
    bufferFill_ = n;
    if (n == 0) break;
  }
  if (got) *got = total;
  lastError_ = 0;
  return 0;
}

// Written straight through. A short write is an error: a partly written block
// would corrupt the file silently.
int MultimediaFile::Write(const void* buffer, uint32_t count, uint32_t* written) {
  if (written) *written = 0;
  if (!open_ || handle_ == INVALID_HANDLE_VALUE) return Fail(Error::FileNotOpen);
  bufferFill_ = 0;  // what the buffer held may be overwritten now
  if (!PlaceFilePointer(position_)) return Fail(Error::Write);
  DWORD n = 0;
  BOOL ok = WriteFile(handle_, buffer, count, &n, nullptr);
  filePointer_ += n;
  position_ += n;
  if (!ok || n != count) return Fail(Error::Write);
  if (written) *written = n;
  lastError_ = 0;
  return 0;
}

// Called to rewind to the data start, to skip chunks and before the final header.
// Only the position moves; the next read or write goes there.
int MultimediaFile::Seek(int64_t offset, int32_t origin) {
  if (!open_ || handle_ == INVALID_HANDLE_VALUE) return Fail(Error::FileNotOpen);
  int64_t target = offset;
  if (origin == kFromCurrent) {
    if (offset > 0 && static_cast<uint64_t>(offset) > static_cast<uint64_t>(INT64_MAX) - position_)
      return Fail(Error::Seek);
    target = static_cast<int64_t>(position_) + offset;
  }
  if (target < 0) return Fail(Error::Seek);
  position_ = static_cast<uint64_t>(target);
  lastError_ = 0;
  return 0;
}

int64_t MultimediaFile::Tell() {
  if (!open_ || handle_ == INVALID_HANDLE_VALUE) {
    ReportError(Error::FileNotOpen);
    return -1;
  }
  return static_cast<int64_t>(position_);
}

// Called after a header was read, to see how much of the data is really there.
int64_t MultimediaFile::Length() {
  if (!open_ || handle_ == INVALID_HANDLE_VALUE) {
    ReportError(Error::FileNotOpen);
    return -1;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle_, &size)) {
    ReportError(Error::Seek);
    return -1;
  }
  return size.QuadPart;
}

// Called once after opening with the host's file buffer size, before any
// sample is read; a refused buffer leaves the file reading straight through.
int MultimediaFile::SetBuffer(uint32_t size) {
  if (handle_ == INVALID_HANDLE_VALUE) return Fail(Error::FileBuffer);
  // The platform's buffered file access took a buffer size as a signed 32-bit count
  // and refused one beyond 2 GiB; so does this, on both builds, rather than reserve
  // gigabytes for a host's nonsensical size.
  if (size > 0x7FFFFFFFu) return Fail(Error::FileBuffer);
  std::unique_ptr<uint8_t[]> buffer;
  if (size > 0) {
    buffer.reset(new (std::nothrow) uint8_t[size]);
    if (!buffer) return Fail(Error::FileBuffer);
  }
  buffer_ = std::move(buffer);
  bufferSize_ = size;
  bufferFill_ = 0;
  lastError_ = 0;
  return 0;
}
