#include "wavedata/SampleFormat.h"

#include <cstring>

namespace {
constexpr uint16_t kFormatFloat = 3;
// Bit patterns of float magnitudes: 1.0, infinity, and 2^-40 (in 16-bit units 2^-25,
// a 512th of the finest step a 32-bit integer sample has).
constexpr uint32_t kFloatOne = 0x3F800000u;
constexpr uint32_t kFloatInfinity = 0x7F800000u;
constexpr uint32_t kFloatTiny = (127u - 40u) << 23;

int32_t Signed24(const uint8_t* p) {
  // The top byte carries the sign: shifted into place, then back with the sign kept.
  uint32_t raw = (uint32_t)p[0] << 8 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 24;
  return (int32_t)raw >> 8;
}
}  // namespace

SampleEncoding EncodingOf(const WAVEFORMATEX& format) {
  if (format.wFormatTag == kFormatFloat)
    return format.wBitsPerSample == 32 ? SampleEncoding::kFloat32 : SampleEncoding::kUnsupported;
  if (format.wFormatTag != WAVE_FORMAT_PCM) return SampleEncoding::kUnsupported;
  switch (format.wBitsPerSample) {
    case 8: return SampleEncoding::kUnsigned8;
    case 16: return SampleEncoding::kSigned16;
    case 24: return SampleEncoding::kSigned24;
    case 32: return SampleEncoding::kSigned32;
    default: return SampleEncoding::kUnsupported;
  }
}

uint32_t SampleBytes(SampleEncoding encoding) {
  switch (encoding) {
    case SampleEncoding::kUnsigned8: return 1;
    case SampleEncoding::kSigned16: return 2;
    case SampleEncoding::kSigned24: return 3;
    case SampleEncoding::kSigned32:
    case SampleEncoding::kFloat32: return 4;
    default: return 0;
  }
}

float SampleValue(const uint8_t* sample, SampleEncoding encoding) {
  float value = 0.0f;
  DecodeSamples(sample, 1, 0, encoding, &value);
  return value / 32768.0f;
}

// The streaming thread's decoder: one loop per encoding, nothing allocated.
void DecodeSamples(const uint8_t* input, uint32_t frames, uint32_t stride, SampleEncoding encoding, float* out) {
  switch (encoding) {
    case SampleEncoding::kUnsigned8:
      for (uint32_t i = 0; i < frames; ++i) out[i] = (float)(((int32_t)input[i * stride] - 128) * 256);
      return;
    case SampleEncoding::kSigned16:
      for (uint32_t i = 0; i < frames; ++i) {
        int16_t v;
        memcpy(&v, input + i * stride, 2);
        out[i] = (float)v;
      }
      return;
    case SampleEncoding::kSigned24:
      if (frames == 0) return;
      out[0] = (float)Signed24(input) * (1.0f / 256.0f);
      // After the first, each sample has a byte before it: one 32-bit load takes the
      // sample in its top three bytes, and the arithmetic shift keeps the sign.
      for (uint32_t i = 1; i < frames; ++i) {
        uint32_t raw;
        memcpy(&raw, input + i * stride - 1, 4);
        out[i] = (float)((int32_t)raw >> 8) * (1.0f / 256.0f);
      }
      return;
    case SampleEncoding::kSigned32:
      for (uint32_t i = 0; i < frames; ++i) {
        int32_t v;
        memcpy(&v, input + i * stride, 4);
        out[i] = (float)v * (1.0f / 65536.0f);
      }
      return;
    case SampleEncoding::kFloat32:
      // Judged by their bits, so that no floating-point operation ever sees an
      // infinity, a denormal or not a number (the x87 unit takes slow paths for them).
      for (uint32_t i = 0; i < frames; ++i) {
        uint32_t bits;
        memcpy(&bits, input + i * stride, 4);
        uint32_t magnitude = bits & 0x7FFFFFFFu;
        // Full scale and beyond (infinities too) clip before any filter sees them.
        bits = magnitude >= kFloatOne ? (bits & 0x80000000u) | kFloatOne : bits;
        // Not a number is silence; so is anything far below the smallest 32-bit
        // integer step, so that the filter only ever multiplies normal numbers.
        bits = magnitude > kFloatInfinity || magnitude < kFloatTiny ? 0u : bits;
        float v;
        memcpy(&v, &bits, 4);
        out[i] = v * 32768.0f;
      }
      return;
    default:
      for (uint32_t i = 0; i < frames; ++i) out[i] = 0.0f;
      return;
  }
}
