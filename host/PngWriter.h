// Writes pictures as PNG files through the platform's own encoder (the Windows
// Imaging Component), which Wine provides too.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace hostkit {

// Writes width x height pixels (top-down rows of 0xAARRGGBB) as a PNG file:
// RGBA when withAlpha, else RGB with the alpha byte ignored. False when the
// size is empty, the encoder is missing or the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels, bool withAlpha);

}  // namespace hostkit
