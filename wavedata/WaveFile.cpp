#include "wavedata/WaveFile.h"

#include <cstring>

void MakePcmFormat(WAVEFORMATEX* format, uint32_t rate, uint16_t channels, uint16_t bits) {}
WaveFile::WaveFile() { memset(&header_, 0, sizeof header_); expectedFormType_ = 0; skipped_[0] = '\0'; }
int WaveFile::ReadHeader() { return 3; }
void WaveFile::BuildHeader(uint32_t, uint32_t, uint16_t, uint16_t) {}
int WaveFile::WriteHeader() { return 3; }
int WaveFile::Finish(uint32_t) { return 3; }
void WaveFile::GetFormat(WAVEFORMATEX* format) const {}
uint32_t WaveFile::GetLengthMs() const { return 0; }
uint32_t WaveFile::GetFrameCount() const { return 0; }
int WaveFile::SkipForward(uint32_t, uint64_t) { return 6; }
void WaveFile::AppendSkipped(uint32_t) {}
