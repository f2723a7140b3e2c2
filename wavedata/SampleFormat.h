// The sample encodings a wave file may hold, and how their samples read as numbers.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <cstring>

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

// A value in 16-bit units rounded to the nearest sample, halves away from zero;
// beyond the range it clips, and not a number gives silence. Without branches on
// the value: the sign of audio is a coin toss that a branch predictor loses.
inline int16_t RoundToSample16(float value) {
  value = value > 32767.0f ? 32767.0f : value;
  value = value < -32768.0f ? -32768.0f : value;
  // The half carries the value's sign; truncation then rounds both ways alike.
  uint32_t bits, half;
  memcpy(&bits, &value, 4);
  half = (bits & 0x80000000u) | 0x3F000000u;
  float offset;
  memcpy(&offset, &half, 4);
  value = value == value ? value + offset : 0.0f;
  return (int16_t)(int32_t)value;
}
