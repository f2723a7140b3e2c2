// The waveform picture's cache file (".owi" beside the wave file): a 12-byte
// header (identifier "OWI ", width, height, channels, key flag), the column
// table of two signed 16-bit values per pixel column, and after it the key of
// the wave file the picture was drawn from. Purely derived data: any failure
// here only means the picture is computed again. Files without the key (the
// flag 0, as earlier versions wrote them) are never taken, so they are drawn
// again; readers that know no key read the header and table and stop there.
#pragma once
#include <cstdint>

class WaveFile;

constexpr uint32_t kImageCacheId = 0x2049574F;  // "OWI " in file byte order
constexpr int kImageCacheHeaderSize = 12;
constexpr uint16_t kImageCacheKeyed = 1;        // the header's flag: a key follows the table

// What a picture was drawn from. A wave file replaced by another one (whose time
// stamp may well be older than the cache) shows up as a different key.
struct ImageCacheKey {
  uint64_t dataSize;    // the data bytes the wave file holds
  uint64_t sampleHash;  // FNV-1a over the first and last kImageCacheHashedBytes of them
  uint32_t rate;
  uint16_t formatTag;   // 1 integer, 3 float
  uint16_t channels;
  uint16_t bits;
  uint16_t blockAlign;
  uint32_t zero;        // written as 0
};
static_assert(sizeof(ImageCacheKey) == 32, "the cache key is 32 bytes");
constexpr uint32_t kImageCacheHashedBytes = 4096;

// The key of an open, parsed wave file: its format, data size and a hash of the
// start and end of its data (two short reads). The file is left at its data
// start. False when the data cannot be read.
bool MakeImageCacheKey(WaveFile* file, ImageCacheKey* key);

struct ImageCacheImage {
  int16_t width;
  int16_t height;
  uint16_t channels;
  int16_t* columns;      // width pairs
  uint32_t tableSize;    // width * 4 bytes
  const ImageCacheKey* key;  // the wave file's: written, and compared on reading
};

// The cache file's path for a wave file: the file name's extension replaced by
// "owi", or ".owi" appended when the file name has none (a dot in a folder name
// is not the file's). False, with out empty, when the path would not fit into
// size bytes: a cut name would belong to another file.
bool ImageCachePath(const char* wavePath, char* out, int size);

// Reads the cache at path into image (whose width, height, columns, tableSize and
// key are given). 0; 1 cannot open; 4 header incomplete; 201 identifier, width or
// height differ, or the key is missing or another; 9 column table incomplete.
// On 0 image->channels is the file's.
int ReadImageCacheFile(const char* path, ImageCacheImage* image);
// Writes image to path, replacing an older file. 0; 1 cannot create; 5 write failed.
int WriteImageCacheFile(const char* path, const ImageCacheImage& image);
