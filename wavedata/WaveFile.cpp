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
constexpr uint32_t kRf64 = FourCC('R', 'F', '6', '4');
constexpr uint32_t kBw64 = FourCC('B', 'W', '6', '4');  // the same layout under another name
constexpr uint32_t kDs64 = FourCC('d', 's', '6', '4');
constexpr uint32_t kDs64Sizes = 24;  // RIFF size, data size and sample count, 64 bits each
constexpr uint32_t kSizeInDs64 = 0xFFFFFFFF;
constexpr uint32_t kWave = FourCC('W', 'A', 'V', 'E');
constexpr uint32_t kFmt = FourCC('f', 'm', 't', ' ');
constexpr uint32_t kData = FourCC('d', 'a', 't', 'a');
constexpr uint32_t kPcmFormatSize = 16;
constexpr uint16_t kFormatExtensible = 0xFFFE;  // WAVE_FORMAT_EXTENSIBLE
constexpr uint16_t kFormatFloat = 3;           // WAVE_FORMAT_IEEE_FLOAT
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

void MakePcmHeader(WaveHeader* header, const WAVEFORMATEX& format, uint32_t dataSize) {
  header->riffId = kRiff;
  header->riffSize = dataSize + kHeaderTail;
  header->formType = kWave;
  header->fmtId = kFmt;
  header->fmtSize = kPcmFormatSize;
  header->formatTag = WAVE_FORMAT_PCM;
  header->channels = format.nChannels;
  header->samplesPerSec = format.nSamplesPerSec;
  header->avgBytesPerSec = format.nAvgBytesPerSec;
  header->blockAlign = format.nBlockAlign;
  header->bitsPerSample = format.wBitsPerSample;
  header->dataId = kData;
  header->dataSize = dataSize;
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

// A target past the end is reached; the next header read there finds the file ended.
int WaveFile::SkipForward(uint64_t count) {
  return Seek(static_cast<int64_t>(count), kFromCurrent);
}

// The sizes come first; the chunk table that may follow them is not needed here.
int WaveFile::ReadDs64(uint32_t size) {
  uint64_t sizes[3];
  int code = ReadExact(sizes, kDs64Sizes);
  if (code != 0) return code;
  haveDs64_ = true;
  ds64DataSize_ = sizes[1];
  uint64_t rest = static_cast<uint64_t>(size) - kDs64Sizes + (size & 1);
  return rest ? SkipForward(rest) : 0;
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

// Called right after Open: checks the RIFF/WAVE header, finds the format chunk and
// the data chunk wherever they are (broadcast files put 'bext' first, some writers
// 'JUNK'), passes over every other chunk and leaves the file at the first sample.
int WaveFile::ReadHeader() {
  if (!open_ || !handle_) return Fail(Error::FileNotOpen);
  memset(&header_, 0, sizeof header_);
  dataStart_ = 0;
  dataSize_ = 0;
  presentSize_ = 0;
  rf64_ = haveDs64_ = false;
  ds64DataSize_ = 0;
  skipped_[0] = '\0';
  stage_ = kStageNone;
  extensible_ = false;
  floatSamples_ = false;

  int code = ReadExact(&header_.riffId, 12);
  if (code != 0) return code;
  stage_ = kStageRiff;
  if (header_.formType != expectedFormType_) return Fail(Error::NotPcmWave);
  rf64_ = header_.riffId == kRf64 || header_.riffId == kBw64;

  // Every step moves forward by at least a chunk header, so the walk ends with the file.
  bool haveFormat = false;
  for (;;) {
    uint32_t chunk[2];
    code = ReadExact(chunk, 8);
    if (code != 0) return code;
    if (chunk[0] == kData) {
      // Samples before any format chunk cannot be told apart from anything else.
      if (!haveFormat) return Fail(Error::NotPcmWave);
      header_.dataId = chunk[0];
      header_.dataSize = chunk[1];
      break;
    }
    // An RF64 file's sizes, in the chunk that comes first. One too short to hold
    // them is passed over like any other chunk, and the 32-bit sizes stand.
    if (chunk[0] == kDs64 && rf64_ && !haveDs64_ && !haveFormat && chunk[1] >= kDs64Sizes) {
      code = ReadDs64(chunk[1]);
      if (code != 0) return code;
      continue;
    }
    if (chunk[0] == kFmt && !haveFormat) {
      header_.fmtId = chunk[0];
      header_.fmtSize = chunk[1];
      code = ReadFormat();
      if (code != 0) return code;
      haveFormat = true;
      stage_ = kStageChunks;
      continue;
    }
    // Chunks other than these two are passed over (with the pad byte of odd sizes).
    AppendSkipped(chunk[0]);
    if (haveFormat) {
      header_.dataId = chunk[0];
      header_.dataSize = chunk[1];
    }
    code = SkipForward(static_cast<uint64_t>(chunk[1]) + (chunk[1] & 1));
    if (code != 0) return code;
  }
  stage_ = kStageData;

  dataSize_ = header_.dataSize;
  if (haveDs64_ && header_.dataSize == kSizeInDs64) dataSize_ = ds64DataSize_;
  if (dataSize_ == 0) return Fail(Error::EmptyData);
  code = MarkDataStart();
  if (code != 0) return code;
  // Lengths and pictures measure what is there, not what the header promises.
  presentSize_ = dataSize_;
  int64_t length = Length();
  if (length < 0) return lastError_;
  uint64_t there = static_cast<uint64_t>(length) > dataStart_ ? static_cast<uint64_t>(length) - dataStart_ : 0;
  if (there < presentSize_) presentSize_ = there;
  lastError_ = 0;
  return 0;
}

// Reads the format chunk whose header was just read and passes over the rest of it.
// Integer PCM (tag 1, or extensible PCM of 8, 16, 24 or 32 bits whose valid bits fill
// the container) and 32-bit IEEE float (tag 3, or extensible float) are taken;
// everything else is code 8. Depths and rates are the converter's to judge.
int WaveFile::ReadFormat() {
  // A chunk shorter than a PCM format record would lend its fields from the next chunk.
  if (header_.fmtSize < kPcmFormatSize) return Fail(Error::NotPcmWave);
  int code = ReadExact(&header_.formatTag, kPcmFormatSize);
  if (code != 0) return code;
  stage_ = kStageFormat;
  uint32_t used = kPcmFormatSize;
  const uint16_t bits = header_.bitsPerSample;
  if (header_.formatTag == kFormatExtensible) {
    if (header_.fmtSize < kPcmFormatSize + sizeof extension_) return Fail(Error::NotPcmWave);
    code = ReadExact(&extension_, sizeof extension_);
    if (code != 0) return code;
    used += sizeof extension_;
    extensible_ = true;
    // The subformat GUIDs differ from each other only in their first byte (the tag).
    static const uint8_t kSubFormatTail[15] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                               0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    const uint8_t tag = extension_.subFormat[0];
    bool known = memcmp(extension_.subFormat + 1, kSubFormatTail, 15) == 0 && extension_.validBits == bits;
    bool pcm = known && tag == WAVE_FORMAT_PCM && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    bool ieee = known && tag == kFormatFloat && bits == 32;
    if (!pcm && !ieee) return Fail(Error::NotPcmWave);
    floatSamples_ = ieee;
  } else if (header_.formatTag == kFormatFloat) {
    if (bits != 32) return Fail(Error::NotPcmWave);
    floatSamples_ = true;
  } else if (header_.formatTag != WAVE_FORMAT_PCM) {
    return Fail(Error::NotPcmWave);
  }
  if (header_.fmtSize > used) return SkipForward(static_cast<uint64_t>(header_.fmtSize - used) + (header_.fmtSize & 1));
  return 0;
}

// Called before writing a new file; the sizes are corrected by Finish.
void WaveFile::BuildHeader(uint32_t dataSize, uint32_t rate, uint16_t channels, uint16_t bits) {
  WAVEFORMATEX format;
  MakePcmFormat(&format, rate, channels, bits);
  MakePcmHeader(&header_, format, dataSize);
  header_.formType = expectedFormType_;
  dataSize_ = presentSize_ = dataSize;
}

// The header goes first with provisional sizes, so a file cut short still has one.
int WaveFile::WriteHeader() {
  if (!open_ || !handle_) return Fail(Error::FileNotOpen);
  uint32_t written = 0;
  int code = Write(&header_, sizeof header_, &written);
  if (code != 0) return code;
  return MarkDataStart();
}

// The file stands at the first data byte: remember where that is.
int WaveFile::MarkDataStart() {
  int64_t position = Tell();
  if (position < 0) return lastError_;
  dataStart_ = static_cast<uint64_t>(position);
  lastError_ = 0;
  return 0;
}

// Called when the last samples are written: the header gets the final sizes.
int WaveFile::Finish(uint32_t dataSize) {
  header_.dataSize = dataSize;
  header_.riffSize = dataSize + kHeaderTail;
  dataSize_ = presentSize_ = dataSize;
  // Without the rewind the header would land after the samples.
  int code = Seek(0, kFromStart);
  if (code != 0) return code;
  return WriteHeader();
}

// The header's format as the platform's record: tag 1 for integer samples, 3 for
// float ones, also when the file holds them in the extensible form.
void WaveFile::GetFormat(WAVEFORMATEX* format) const {
  if (!format) return;
  format->wFormatTag = floatSamples_ ? kFormatFloat : WAVE_FORMAT_PCM;
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
  uint64_t ms = presentSize_ / perMs;
  return ms > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(ms);
}

// Number of whole frames in the data chunk.
uint64_t WaveFile::GetFrameCount() const {
  if (header_.blockAlign == 0) return 0;
  return presentSize_ / header_.blockAlign;
}
