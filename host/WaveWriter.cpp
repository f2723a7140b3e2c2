#include "host/WaveWriter.h"

#include <cstring>

namespace hostkit {

namespace {
constexpr uint32_t kHeaderSize = 44;
constexpr uint32_t kMaxData = 0xFFFFFFFFu - kHeaderSize;

void Put16(uint8_t* p, uint16_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i));
}
}  // namespace

bool WaveWriter::Create(const std::string& path) {
  Close();
  file_ = fopen(path.c_str(), "wb");
  dataBytes_ = 0;
  return file_ && WriteHeader(36);
}

bool WaveWriter::WriteHeader(uint32_t riffSize) {
  const uint16_t channels = 1, bits = 16;
  const uint32_t rate = 44100;
  uint8_t h[kHeaderSize];
  memcpy(h, "RIFF", 4);
  Put32(h + 4, riffSize);
  memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);  // PCM
  Put16(h + 22, channels);
  Put32(h + 24, rate);
  Put32(h + 28, rate * channels * bits / 8);
  Put16(h + 32, channels * bits / 8);
  Put16(h + 34, bits);
  memcpy(h + 36, "data", 4);
  Put32(h + 40, dataBytes_);
  long end = ftell(file_);
  bool ok = fseek(file_, 0, SEEK_SET) == 0 && fwrite(h, 1, sizeof h, file_) == sizeof h;
  if (end > (long)kHeaderSize) ok = fseek(file_, end, SEEK_SET) == 0 && ok;
  return fflush(file_) == 0 && ok;
}

bool WaveWriter::Append(const uint8_t* data, size_t count) {
  if (!file_) return false;
  if (count == 0) return true;
  if (!data || count > kMaxData - 1 - dataBytes_) return false;
  if (fwrite(data, 1, count, file_) != count) return false;
  dataBytes_ += (uint32_t)count;
  return true;
}

bool WaveWriter::Flush() { return file_ && WriteHeader(36 + dataBytes_); }

bool WaveWriter::Close() {
  if (!file_) return true;
  bool ok = true;
  uint32_t pad = dataBytes_ & 1u;
  if (pad) ok = fputc(0, file_) != EOF;
  ok = WriteHeader(36 + dataBytes_ + pad) && ok;
  ok = fclose(file_) == 0 && ok;
  file_ = nullptr;
  return ok;
}

}  // namespace hostkit
