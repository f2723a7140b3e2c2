// "Wavefile Properties" (dialog template 103): the format of the wave file a
// channel holds, the chunks passed over before its data and its playing time.
// The main window fills it from the channel's file and runs it modally; it only
// displays.
#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/framework/Dialog.h"

class WaveFile;

constexpr UINT kWavePropertiesTemplate = 103;

// The format chunk's fields as they stand in the file's header.
struct FormatChunkFields {
  uint32_t chunkId;
  int32_t chunkSize;
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
};

class WavePropertiesDialog : public Dialog {
 public:
  WavePropertiesDialog();

  // Copies what the dialog shows from an open, parsed file.
  void Fill(const WaveFile& file);
  // Replaces the template's placeholder texts.
  void OnInitDialog() override;

  const FormatChunkFields& Format() const { return format_; }
  const char* FileName() const { return fileName_; }
  uint32_t PlayingTimeMs() const { return playingTimeMs_; }
  const char* SkippedChunks() const { return skippedChunks_; }

 private:
  FormatChunkFields format_ = {};
  char fileName_[260] = {};
  uint32_t playingTimeMs_ = 0;
  char skippedChunks_[256] = {};
};
