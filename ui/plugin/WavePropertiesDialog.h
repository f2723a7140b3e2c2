// "Wavefile Properties" (dialog template 103): the format of the wave file a
// channel holds, the chunks passed over before its data and its playing time.
// The main window fills it from the channel's file and runs it modally; it only
// displays.
#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/framework/Dialog.h"
#include "wavedata/WaveFile.h"

constexpr UINT kWavePropertiesTemplate = 103;

class WavePropertiesDialog : public Dialog {
 public:
  WavePropertiesDialog();

  // Copies what the dialog shows from an open, parsed file.
  void Fill(const WaveFile& file);
  // Replaces the template's placeholder texts.
  void OnInitDialog() override;

  // The file's header as read: its format chunk's size and fields.
  const WaveHeader& Header() const { return header_; }
  const char* FileName() const { return fileName_; }
  uint32_t PlayingTimeMs() const { return playingTimeMs_; }
  const char* SkippedChunks() const { return skippedChunks_; }

 private:
  WaveHeader header_ = {};
  char fileName_[260] = {};
  uint32_t playingTimeMs_ = 0;
  bool floatSamples_ = false;
  char skippedChunks_[256] = {};
};
