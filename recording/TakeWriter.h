// Writes a take as a PCM wave file straight through the system's file calls (no
// buffer of ours), so that every failed or short write is seen at once and every
// block is with the system as soon as it is written. The 44-byte header keeps its
// layout; its RIFF and data sizes are brought up to date at least once per second
// of audio, so a process that dies mid-take leaves a readable file. Sizes are counted in 64 bits; a take stops growing
// before its RIFF size would pass the limit (the largest a wave file can state).
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

class TakeWriter {
 public:
  // The largest RIFF size the header's 32-bit field holds.
  static constexpr uint64_t kRiffSizeLimit = 0xFFFFFFFFull;
  static constexpr int kReasonSize = 256;

  TakeWriter() { reason_[0] = '\0'; }
  // A take still open is finished.
  ~TakeWriter();
  TakeWriter(const TakeWriter&) = delete;
  TakeWriter& operator=(const TakeWriter&) = delete;

  // Creates (or replaces) the file and writes the header with no data, handed to
  // the system. False with Reason() when nothing can be written; no file is left.
  bool Create(const char* path, const WAVEFORMATEX& format);
  // Whether bytes more sample bytes keep the RIFF size within the limit.
  bool Fits(uint32_t bytes) const;
  // Appends one block of whole frames. False with Reason() when a write failed
  // or was short: the take is cut there (Finish makes the file whole).
  bool Append(const void* data, uint32_t bytes);
  // Writes the header's sizes for the data written so far (whole frames).
  bool Refresh();
  // Drops a trailing partial frame, writes the final sizes and closes the file.
  // False with Reason() when the header could not be written.
  bool Finish();
  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }

  // Sample bytes on disk (whole frames once finished).
  uint64_t DataBytes() const { return dataBytes_; }
  // How many times the header's sizes were refreshed while recording.
  uint32_t Refreshes() const { return refreshes_; }
  // The system's words for the last failure, e.g. that the disk is full.
  const char* Reason() const { return reason_; }
  DWORD SystemError() const { return systemError_; }

  // The RIFF size a take may reach (a smaller value lets tests reach it); the
  // header's field cannot hold more than kRiffSizeLimit.
  void SetRiffLimit(uint64_t limit) { riffLimit_ = limit > kRiffSizeLimit ? kRiffSizeLimit : limit; }
  uint64_t RiffLimit() const { return riffLimit_; }
  // Bytes of audio between two refreshes of the header: one second's worth unless
  // set (0: only when finished, for comparisons).
  void SetRefreshInterval(uint32_t bytes) { refreshInterval_ = bytes; }
  static constexpr uint32_t kOneSecond = 0xFFFFFFFFu;

 private:
  bool WriteAll(const void* data, uint32_t bytes, uint32_t* written);
  bool WriteSizes();
  bool Fail(DWORD error);
  void Close();

  HANDLE file_ = INVALID_HANDLE_VALUE;
  uint16_t blockAlign_ = 1;
  uint64_t dataBytes_ = 0;
  uint64_t sinceRefresh_ = 0;
  uint32_t refreshInterval_ = kOneSecond;
  uint32_t interval_ = 0;  // in force for the open take
  uint32_t refreshes_ = 0;
  uint64_t riffLimit_ = kRiffSizeLimit;
  DWORD systemError_ = 0;
  char reason_[kReasonSize];
};
