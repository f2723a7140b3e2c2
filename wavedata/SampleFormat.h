// The sample encodings a wave file may hold, and how their samples read as numbers.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "wavedata/SampleRounding.h"

enum class SampleEncoding { kUnsupported, kUnsigned8, kSigned16, kSigned24, kSigned32, kFloat32 };

// The encoding of a format record: tag 1 with 8, 16, 24 or 32 bits, or tag 3 with 32.
SampleEncoding EncodingOf(const WAVEFORMATEX& format);
// Bytes of one sample of the encoding (0 when unsupported).
uint32_t SampleBytes(SampleEncoding encoding);

// One sample as a fraction of full scale: -1.0 up to just below 1.0 for integers;
// float samples clipped to +-1.0 (infinities too), not a number and values below
// 2^-40 as 0.
float SampleValue(const uint8_t* sample, SampleEncoding encoding);

// frames samples of one channel, stride bytes apart starting at input, into out in
// units of a 16-bit sample (full scale 32768). 8-bit and 16-bit samples come out
// exact; float samples as SampleValue reads them, so that no filter meets an
// infinity, a denormal or not a number.
void DecodeSamples(const uint8_t* input, uint32_t frames, uint32_t stride, SampleEncoding encoding, float* out);
