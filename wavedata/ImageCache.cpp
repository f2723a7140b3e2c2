#include "wavedata/ImageCache.h"

#include <windows.h>

#include <cstring>

#include "core/ErrorCodes.h"
#include "util/PathText.h"

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
    if (id != kImageCacheId || width != image->width || height != image->height) {
      code = Outcome::CacheMismatch;
    } else if (ReadUpTo(file, image->columns, image->tableSize) < image->tableSize) {
      code = Error::EmptyData;
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
  int code = 0;
  if (!WriteAll(file, header, sizeof header) || !WriteAll(file, image.columns, image.tableSize)) code = Error::Write;
  CloseHandle(file);
  return code;
}
