// The waveform picture's cache file (".owi" beside the wave file): a 12-byte
// header (identifier "OWI ", width, height, channels, reserved) and the column
// table of two signed 16-bit values per pixel column. Purely derived data: any
// failure here only means the picture is computed again.
#pragma once
#include <cstdint>

constexpr uint32_t kImageCacheId = 0x2049574F;  // "OWI " in file byte order
constexpr int kImageCacheHeaderSize = 12;

struct ImageCacheImage {
  int16_t width;
  int16_t height;
  uint16_t channels;
  int16_t* columns;      // width pairs
  uint32_t tableSize;    // width * 4 bytes
};

// The cache file's path for a wave file: the file name's extension replaced by
// "owi", or ".owi" appended when the file name has none (a dot in a folder name
// is not the file's). False, with out empty, when the path would not fit into
// size bytes: a cut name would belong to another file.
bool ImageCachePath(const char* wavePath, char* out, int size);

// Reads the cache at path into image (whose width, height, columns and tableSize
// are given). 0; 1 cannot open; 4 header incomplete; 201 identifier, width or
// height differ; 9 column table incomplete. On 0 image->channels is the file's.
int ReadImageCacheFile(const char* path, ImageCacheImage* image);
// Writes image to path, replacing an older file. 0; 1 cannot create; 5 write failed.
int WriteImageCacheFile(const char* path, const ImageCacheImage& image);
