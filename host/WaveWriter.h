// Writes what one host channel delivered as a wave file in the host format:
// PCM, 44100 Hz, one channel, 16 bits. The header is brought up to date on
// every Flush, so the file is complete as it stands after each pull.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace hostkit {

class WaveWriter {
 public:
  WaveWriter() = default;
  ~WaveWriter() { Close(); }
  WaveWriter(const WaveWriter&) = delete;
  WaveWriter& operator=(const WaveWriter&) = delete;

  // Creates (or empties) the file with a header for no data.
  bool Create(const std::string& path);
  // Appends raw sample bytes; false when not open, on a write error, or when
  // the data would outgrow a wave file's 32-bit sizes (nothing written then).
  bool Append(const uint8_t* data, size_t count);
  // Rewrites the header's sizes for the data written so far.
  bool Flush();
  // Pads an odd data chunk to an even size, completes the header and closes.
  bool Close();

 private:
  bool WriteHeader(uint32_t riffSize);

  FILE* file_ = nullptr;
  uint32_t dataBytes_ = 0;
};

}  // namespace hostkit
