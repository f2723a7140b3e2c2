#include "wavedata/WaveFile.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "core/ErrorCodes.h"

namespace {
constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}
constexpr uint32_t kRiff = FourCC('R', 'I', 'F', 'F');
constexpr uint32_t kWave = FourCC('W', 'A', 'V', 'E');
constexpr uint32_t kFmt = FourCC('f', 'm', 't', ' ');
constexpr uint32_t kData = FourCC('d', 'a', 't', 'a');
constexpr uint32_t kPcmFormatSize = 16;
constexpr uint32_t kHeaderTail = 36;  // header bytes after the RIFF size field, before the samples
}  // namespace

void MakePcmFormat(WAVEFORMATEX* format, uint32_t rate, uint16_t channels, uint16_t bits) {
  if (!format) return;
  format->wFormatTag = WAVE_FORMAT_PCM;
  format->nChannels = channels;
  format->nSamplesPerSec = rate;
  format->wBitsPerSample = bits;
  format->nBlockAlign = static_cast<WORD>((bits / 8) * channels);
  format->nAvgBytesPerSec = format->nBlockAlign * rate;
  format->cbSize = 0;
}

WaveFile::WaveFile() : expectedFormType_(kWave) {
  memset(&header_, 0, sizeof header_);
  skipped_[0] = '\0';
}

int WaveFile::ReadExact(void* buffer, uint32_t count) {
  uint32_t got = 0;
  int code = Read(buffer, count, &got);
  if (code != 0) return code;
  if (got != count) return Fail(Error::Read);
  return 0;
}

int WaveFile::SkipForward(uint64_t count) {
  int32_t position = Tell();
  if (position < 0) return lastError_ ? lastError_ : Fail(Error::Seek);
  uint64_t target = static_cast<uint64_t>(position) + count;
  // The service's offsets are signed 32-bit: nothing lies beyond them, so the
  // file has ended without the chunk we look for.
  if (target > static_cast<uint64_t>(LONG_MAX)) return Fail(Error::Read);
  return Seek(static_cast<int32_t>(target), kFromStart);
}

void WaveFile::AppendSkipped(uint32_t chunkId) {
  char id[5];
  memcpy(id, &chunkId, 4);
  id[4] = '\0';
  char entry[8];
  snprintf(entry, sizeof entry, "'%s';", id);
  size_t used = strlen(skipped_);
  size_t length = strlen(entry);
  // A list longer than the field keeps its first entries.
  if (used + length < sizeof skipped_) memcpy(skipped_ + used, entry, length + 1);
}

// Called right after Open: checks the RIFF/WAVE header and the PCM format, passes over
// the chunks before the data chunk and leaves the file at the first sample.
int WaveFile::ReadHeader() {
  if (!open_ || !handle_) return Fail(Error::FileNotOpen);
  memset(&header_, 0, sizeof header_);
  dataStart_ = 0;
  skipped_[0] = '\0';
  stage_ = kStageNone;

  int code = ReadExact(&header_.riffId, 12);
  if (code != 0) return code;
  stage_ = kStageRiff;
  if (header_.formType != expectedFormType_) return Fail(Error::NotPcmWave);

  // The chunk right after the form type is taken as the format chunk.
  code = ReadExact(&header_.fmtId, 24);
  if (code != 0) return code;
  stage_ = kStageFormat;
  if (header_.formatTag != WAVE_FORMAT_PCM) return Fail(Error::NotPcmWave);
  // A chunk shorter than a PCM format record would lend its fields from the next chunk.
  if (header_.fmtSize < kPcmFormatSize) return Fail(Error::NotPcmWave);
  if (header_.fmtSize > kPcmFormatSize) {
    code = SkipForward(static_cast<uint64_t>(header_.fmtSize - kPcmFormatSize) + (header_.fmtSize & 1));
    if (code != 0) return code;
  }

  stage_ = kStageChunks;
  // Chunks before the data chunk are passed over (with the pad byte of odd sizes).
  // Every step moves forward by at least a chunk header, so the walk ends with the file.
  code = ReadExact(&header_.dataId, 8);
  while (code == 0 && header_.dataId != kData) {
    AppendSkipped(header_.dataId);
    code = SkipForward(static_cast<uint64_t>(header_.dataSize) + (header_.dataSize & 1));
    if (code == 0) code = ReadExact(&header_.dataId, 8);
  }
  if (code != 0) return code;
  stage_ = kStageData;

  if (header_.dataSize == 0) return Fail(Error::EmptyData);
  return MarkDataStart();
}

// Called before writing a new file; the sizes are corrected by Finish.
void WaveFile::BuildHeader(uint32_t dataSize, uint32_t rate, uint16_t channels, uint16_t bits) {
  WAVEFORMATEX format;
  MakePcmFormat(&format, rate, channels, bits);
  header_.riffId = kRiff;
  header_.riffSize = dataSize + kHeaderTail;
  header_.formType = expectedFormType_;
  header_.fmtId = kFmt;
  header_.fmtSize = kPcmFormatSize;
  header_.formatTag = format.wFormatTag;
  header_.channels = format.nChannels;
  header_.samplesPerSec = format.nSamplesPerSec;
  header_.avgBytesPerSec = format.nAvgBytesPerSec;
  header_.blockAlign = format.nBlockAlign;
  header_.bitsPerSample = format.wBitsPerSample;
  header_.dataId = kData;
  header_.dataSize = dataSize;
}

// Called after BuildHeader at the start of a new file, and by Finish.
int WaveFile::WriteHeader() {
  if (!open_ || !handle_) return Fail(Error::FileNotOpen);
  uint32_t written = 0;
  int code = Write(&header_, sizeof header_, &written);
  if (code != 0) return code;
  return MarkDataStart();
}

// The file stands at the first data byte: remember where that is.
int WaveFile::MarkDataStart() {
  int32_t position = Tell();
  if (position < 0) return lastError_;
  dataStart_ = static_cast<uint32_t>(position);
  lastError_ = 0;
  return 0;
}

// Called when the last samples are written: the header gets the final sizes.
int WaveFile::Finish(uint32_t dataSize) {
  header_.dataSize = dataSize;
  header_.riffSize = dataSize + kHeaderTail;
  // Without the rewind the header would land after the samples.
  int code = Seek(0, kFromStart);
  if (code != 0) return code;
  return WriteHeader();
}

// Called by the loader and the properties dialog after ReadHeader.
void WaveFile::GetFormat(WAVEFORMATEX* format) const {
  if (!format) return;
  format->wFormatTag = WAVE_FORMAT_PCM;
  format->nChannels = header_.channels;
  format->nSamplesPerSec = header_.samplesPerSec;
  format->nAvgBytesPerSec = header_.avgBytesPerSec;
  format->nBlockAlign = header_.blockAlign;
  format->wBitsPerSample = header_.bitsPerSample;
  format->cbSize = 0;
}

// Playing time for the strip's position view and the properties dialog. The rate is
// taken in whole bytes per millisecond (176 for 176400), as files have always been timed.
uint32_t WaveFile::GetLengthMs() const {
  uint32_t perMs = header_.avgBytesPerSec / 1000;
  if (perMs == 0) return 0;
  return header_.dataSize / perMs;
}

// Number of whole frames in the data chunk.
uint32_t WaveFile::GetFrameCount() const {
  if (header_.blockAlign == 0) return 0;
  return header_.dataSize / header_.blockAlign;
}
