// A PCM RIFF/WAVE file: reads the header (passing over chunks before the data;
// also the RF64 form, whose 'ds64' chunk carries the 64-bit sizes), writes the
// canonical 44-byte header, and answers length questions.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "wavedata/MultimediaFile.h"

// The canonical 44-byte header of a PCM wave file, field by field as on disk.
// While a file is read, fmtSize holds the size found in the file and dataId/dataSize
// hold each chunk header read in turn (finally the data chunk's).
#pragma pack(push, 1)
struct WaveHeader {
  uint32_t riffId;
  uint32_t riffSize;
  uint32_t formType;
  uint32_t fmtId;
  uint32_t fmtSize;
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  uint32_t dataId;
  uint32_t dataSize;
};
#pragma pack(pop)
static_assert(sizeof(WaveHeader) == 44, "the wave header is 44 bytes");

constexpr int kSkippedChunksSize = 256;

// What the extensible form of a format chunk adds after the 16 bytes of PCM fields.
#pragma pack(push, 1)
struct WaveFormatExtension {
  uint16_t extensionSize;  // 22
  uint16_t validBits;
  uint32_t channelMask;
  uint8_t subFormat[16];   // a GUID; PCM's is 00000001-0000-0010-8000-00AA00389B71
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatExtension) == 24, "the format extension is 24 bytes");

// Fills a PCM format record from rate, channels and bits (block align and average
// bytes per second derived, cbSize 0).
void MakePcmFormat(WAVEFORMATEX* format, uint32_t rate, uint16_t channels, uint16_t bits);
// The canonical 44-byte header of a PCM wave file in format holding dataSize sample bytes.
void MakePcmHeader(WaveHeader* header, const WAVEFORMATEX& format, uint32_t dataSize);

class WaveFile : public MultimediaFile {
 public:
  WaveFile();

  // Parses the header at the current position (right after Open). 0; 3 not open;
  // 4 read error or the file ends before a data chunk; 6 seek error; 8 neither integer
  // PCM nor 32-bit float (also: no format chunk before the data); 9 empty data chunk.
  // On success DataStart() is the first sample byte. In an RF64 file a data chunk
  // whose size field is 0xFFFFFFFF takes its size from the 'ds64' chunk that opens
  // the file; without a whole 'ds64' that size stands, and like any size beyond the
  // file's end it is cut to what the file holds.
  int ReadHeader();
  // Fills the header record for writing; writes nothing.
  void BuildHeader(uint32_t dataSize, uint32_t rate, uint16_t channels, uint16_t bits);
  // Writes the 44-byte header at the current position; DataStart() follows it. 0, 3, 5.
  int WriteHeader();
  // Stores the final data size, rewinds and rewrites the header. 0, 3, 5, 6.
  int Finish(uint32_t dataSize);

  // The six PCM fields of the header; format tag 1 for integer samples, 3 for
  // 32-bit float (plain or extensible), cbSize 0.
  void GetFormat(WAVEFORMATEX* format) const;
  // Playing time in ms of the data present: PresentDataSize() / (bytes per second /
  // 1000); 0 below 1000 bytes per second.
  uint32_t GetLengthMs() const;
  // PresentDataSize() / block align; 0 when block align is 0.
  uint64_t GetFrameCount() const;

  // The header fields as read (an RF64 file's 32-bit sizes as they stand there).
  const WaveHeader& Header() const { return header_; }
  // The data chunk's size: the header's, or the 'ds64' chunk's in an RF64 file.
  uint64_t DataSize() const { return dataSize_; }
  // The data bytes the file really holds: the data size, or less when the file ends
  // before it (a placeholder size, a cut download). Playing reads until either ends.
  uint64_t PresentDataSize() const { return presentSize_; }
  // File position of the first sample byte; 0 until a header was read or written.
  uint64_t DataStart() const { return dataStart_; }
  // Whether the file is in the RF64 form (with or without a usable 'ds64').
  bool Rf64() const { return rf64_; }
  // Rewinds to the first sample byte; Seek's result.
  int SeekToData() { return Seek(static_cast<int64_t>(dataStart_), kFromStart); }
  // Chunks passed over before the data chunk (before the format chunk too), as
  // 'LIST';'fact';
  const char* SkippedChunks() const { return skipped_; }
  // How far the last ReadHeader got: which header fields hold values from the file.
  enum Stage : int32_t {
    kStageNone = 0,    // nothing read
    kStageRiff = 1,    // RIFF identifier, size and form type
    kStageFormat = 2,  // format chunk fields
    kStageChunks = 3,  // format accepted, chunks being walked
    kStageData = 4,    // data chunk header read (DataSize valid)
  };
  Stage HeaderStage() const { return stage_; }
  // Whether the format chunk's extensible part (tag 0xFFFE) was read; Extension()
  // then holds its fields, also when the format was refused.
  bool Extensible() const { return extensible_; }
  const WaveFormatExtension& Extension() const { return extension_; }
  // Whether the samples are 32-bit IEEE float (tag 3 or the extensible float form).
  bool FloatSamples() const { return floatSamples_; }
  // Bytes of the format chunk beyond the 16 of a PCM format record.
  uint32_t FormatExtraBytes() const { return header_.fmtSize > 16 ? header_.fmtSize - 16 : 0; }

 private:
  // Reads exactly count bytes; a short read means the file ended early (code 4).
  int ReadExact(void* buffer, uint32_t count);
  // Moves forward by count bytes from the current position. 0, or 6.
  int SkipForward(uint64_t count);
  // Reads the body of an RF64 file's 'ds64' chunk of size bytes (its header just
  // read) and passes over the rest; 0 or the read's code.
  int ReadDs64(uint32_t size);
  void AppendSkipped(uint32_t chunkId);
  int ReadFormat();
  // Notes the current position as the data start; 0, or the seek error.
  int MarkDataStart();

  WaveHeader header_;
  uint32_t expectedFormType_;
  uint64_t dataStart_ = 0;
  uint64_t dataSize_ = 0;
  uint64_t presentSize_ = 0;
  bool rf64_ = false;
  bool haveDs64_ = false;
  uint64_t ds64DataSize_ = 0;
  bool extensible_ = false;
  bool floatSamples_ = false;
  WaveFormatExtension extension_ = {};
  Stage stage_ = kStageNone;
  char skipped_[kSkippedChunksSize];
};
