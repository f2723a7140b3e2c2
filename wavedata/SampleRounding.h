// Rounding to 16-bit samples, kept free of the platform's headers so that the
// converter also builds natively for its benchmark.
#pragma once
#include <cstdint>
#include <cstring>

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
