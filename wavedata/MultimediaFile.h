// A file read through a buffer of the size the host asks for, with 64-bit
// positions: the platform's file calls underneath, so files past 2 and 4 GiB
// are reached like any other.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "wavedata/Resource.h"

class MultimediaFile : public Resource {
 public:
  // Open modes: kModeCreate creates or truncates for reading and writing; any other reads.
  static constexpr uint32_t kModeRead = 0;
  static constexpr uint32_t kModeCreate = 4096;
  // Seek origins.
  static constexpr int32_t kFromStart = 0;
  static constexpr int32_t kFromCurrent = 1;

  MultimediaFile();
  // Closes a handle the owner left open, so that deleting never leaks it.
  ~MultimediaFile() override;

  bool OpenResource(const char* name, uint32_t mode) override;
  bool CloseResource() override;

  // Reads up to count bytes; *got receives the bytes read (0 on error). A short read
  // at the end of the file is not an error. 0, 3 not open, 4 read error.
  int Read(void* buffer, uint32_t count, uint32_t* got);
  // Writes count bytes; *written receives the bytes written (0 on error). 0, 3, 5.
  int Write(const void* buffer, uint32_t count, uint32_t* written);
  // Moves to offset from the start (kFromStart) or the current position (kFromCurrent).
  // A position past the end is allowed (reads there give nothing). 0, 3 not open,
  // 6 a position before the start.
  int Seek(int64_t offset, int32_t origin);
  // The current position, or -1 with the last error 3 (not open).
  int64_t Tell();
  // The file's length in bytes (the position is kept), or -1 with the last error
  // 3 (not open) or 6.
  int64_t Length();
  // Gives the open file a read buffer of size bytes (0: none). 0 or 7.
  int SetBuffer(uint32_t size);

  HANDLE Handle() const { return handle_; }

 protected:
  // Reads count bytes at the file position position_ straight from the file.
  bool ReadDirect(uint8_t* buffer, uint32_t count, uint32_t* got);
  // Moves the system's file pointer to position unless it is there already.
  bool PlaceFilePointer(uint64_t position);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  uint64_t position_ = 0;       // where the next read or write starts
  uint64_t filePointer_ = 0;    // where the system's file pointer stands
  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t bufferSize_ = 0;
  uint64_t bufferStart_ = 0;    // file position of buffer_[0]
  uint32_t bufferFill_ = 0;     // bytes of the file the buffer holds
};
