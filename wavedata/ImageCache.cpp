#include "wavedata/ImageCache.h"

#include <windows.h>

#include <cstring>

#include "core/ErrorCodes.h"
#include "util/PathText.h"
#include "wavedata/WaveFile.h"

namespace {
// Reads up to count bytes; returns how many arrived.
DWORD ReadUpTo(HANDLE file, void* buffer, DWORD count) {
  DWORD total = 0;
  while (total < count) {
    DWORD got = 0;
    if (!ReadFile(file, static_cast<char*>(buffer) + total, count - total, &got, nullptr) || got == 0) break;
    total += got;
  }
  return total;
}

bool WriteAll(HANDLE file, const void* buffer, DWORD count) {
  DWORD written = 0;
  return WriteFile(file, buffer, count, &written, nullptr) && written == count;
}
}  // namespace

namespace {
uint64_t HashBytes(uint64_t hash, const uint8_t* bytes, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
  return hash;
}

// Hashes count data bytes from data offset `from`; false when they cannot be read.
bool HashData(WaveFile* file, uint64_t from, uint32_t count, uint64_t* hash) {
  uint8_t bytes[kImageCacheHashedBytes];
  uint32_t got = 0;
  const int64_t at = static_cast<int64_t>(file->DataStart() + from);
  if (file->Seek(at, MultimediaFile::kFromStart) != 0 || file->Read(bytes, count, &got) != 0 || got != count)
    return false;
  *hash = HashBytes(*hash, bytes, count);
  return true;
}
}  // namespace

bool MakeImageCacheKey(WaveFile* file, ImageCacheKey* key) {
  memset(key, 0, sizeof *key);
  WAVEFORMATEX format;
  file->GetFormat(&format);
  key->dataSize = file->PresentDataSize();
  key->rate = format.nSamplesPerSec;
  key->formatTag = format.wFormatTag;
  key->channels = format.nChannels;
  key->bits = format.wBitsPerSample;
  key->blockAlign = format.nBlockAlign;
  const uint64_t size = key->dataSize;
  const uint32_t head = size < kImageCacheHashedBytes ? static_cast<uint32_t>(size) : kImageCacheHashedBytes;
  uint64_t tailStart = size - head > head ? size - head : head;
  uint64_t hash = 14695981039346656037ull;
  bool ok = HashData(file, 0, head, &hash) &&
            HashData(file, tailStart, static_cast<uint32_t>(size - tailStart), &hash);
  key->sampleHash = hash;
  return file->SeekToData() == 0 && ok;
}

bool ImageCachePath(const char* wavePath, char* out, int size) {
  return ReplaceExtension(wavePath, "owi", out, size);
}

int ReadImageCacheFile(const char* path, ImageCacheImage* image) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Error::FileOpen;
  int code = 0;
  uint8_t header[kImageCacheHeaderSize];
  if (ReadUpTo(file, header, sizeof header) < sizeof header) {
    code = Error::Read;
  } else {
    uint32_t id;
    int16_t width, height;
    uint16_t channels;
    memcpy(&id, header, 4);
    memcpy(&width, header + 4, 2);
    memcpy(&height, header + 6, 2);
    memcpy(&channels, header + 8, 2);
    uint16_t keyed;
    memcpy(&keyed, header + 10, 2);
    ImageCacheKey key;
    if (id != kImageCacheId || width != image->width || height != image->height) {
      code = Outcome::CacheMismatch;
    } else if (ReadUpTo(file, image->columns, image->tableSize) < image->tableSize) {
      code = Error::EmptyData;
    } else if (keyed != kImageCacheKeyed || !image->key || ReadUpTo(file, &key, sizeof key) < sizeof key ||
               memcmp(&key, image->key, sizeof key) != 0) {
      code = Outcome::CacheMismatch;
    } else {
      image->channels = channels;
    }
  }
  CloseHandle(file);
  return code;
}

int WriteImageCacheFile(const char* path, const ImageCacheImage& image) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Error::FileOpen;
  uint8_t header[kImageCacheHeaderSize] = {};
  uint32_t id = kImageCacheId;
  memcpy(header, &id, 4);
  memcpy(header + 4, &image.width, 2);
  memcpy(header + 6, &image.height, 2);
  memcpy(header + 8, &image.channels, 2);
  const uint16_t keyed = image.key ? kImageCacheKeyed : 0;
  memcpy(header + 10, &keyed, 2);
  int code = 0;
  if (!WriteAll(file, header, sizeof header) || !WriteAll(file, image.columns, image.tableSize) ||
      (image.key && !WriteAll(file, image.key, sizeof *image.key)))
    code = Error::Write;
  CloseHandle(file);
  return code;
}
