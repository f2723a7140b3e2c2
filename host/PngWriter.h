// Writes pictures as PNG files with a small deflate of its own (LZ77 matches
// coded with the fixed Huffman tables), so that the host needs no compression
// library. Skin-like pictures with long runs of one colour shrink well.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hostkit {

// A zlib stream (RFC 1950) of data, compressed with one fixed-Huffman deflate block.
std::vector<uint8_t> ZlibCompress(const uint8_t* data, size_t size);

// CRC-32 as PNG and zip use it, continuing from crc.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

// Writes width x height pixels (top-down rows of 0xAARRGGBB) as a PNG file:
// RGBA when withAlpha, else RGB with the alpha byte ignored. False when the
// file cannot be written or the size is empty.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels, bool withAlpha);

}  // namespace hostkit
