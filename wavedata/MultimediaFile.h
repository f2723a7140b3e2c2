// A file over the platform's buffered multimedia file service (mmio).
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "wavedata/Resource.h"

class MultimediaFile : public Resource {
 public:
  // Open modes: kModeCreate creates or truncates for reading and writing; any other reads.
  static constexpr uint32_t kModeRead = 0;
  static constexpr uint32_t kModeCreate = 4096;  // MMIO_CREATE
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
  // 0, 3 not open, 6 seek error.
  int Seek(int32_t offset, int32_t origin);
  // The current position, or -1 with the last error 3 (not open) or 6.
  int32_t Tell();
  // The file's length in bytes (the position is kept), or -1 with the last error
  // 3 (not open) or 6.
  int32_t Length();
  // Gives the open file a platform-allocated I/O buffer of size bytes. 0 or 7.
  int SetBuffer(uint32_t size);

  HMMIO Handle() const { return handle_; }

 protected:
  HMMIO handle_ = nullptr;
};
