#include "wavedata/WaveformatConverter.h"

#include <cstring>

WaveformatConverter::WaveformatConverter() { classId_ = kWaveformatConverter; memset(&source_, 0, sizeof source_); target_ = source_; }
WaveformatConverter::~WaveformatConverter() { FreeBuffers(); }
int WaveformatConverter::Setup(const WAVEFORMATEX&, const WAVEFORMATEX&, bool) { return 0; }
int WaveformatConverter::AllocateBuffers(uint32_t, uint32_t* readSize) { if (readSize) *readSize = 0; return 17; }
uint32_t WaveformatConverter::Convert(const uint8_t*, uint32_t) { return 0; }
void WaveformatConverter::SplitStereo(const uint8_t*, uint32_t) {}
void WaveformatConverter::FreeBuffers() {}
