#include "ui/plugin/WaveTrace.h"

#include <cstring>
#include <new>

#include "core/ErrorCodes.h"
#include "ui/framework/Surface.h"
#include "wavedata/ImageCache.h"
#include "wavedata/SampleFormat.h"
#include "wavedata/WaveFile.h"

namespace {
const COLORREF kBackground = RGB(0, 255, 255);
const COLORREF kCentre = RGB(0, 0, 0);
const COLORREF kFirst = RGB(255, 0, 0);
const COLORREF kSecond = RGB(0, 0, 255);
}  // namespace

TraceSurface::TraceSurface(int width, int height) {
  classId_ = kGraphics;
  surface_.reset(new (std::nothrow) Surface(width, height));
  CreatePens();
}

// The surface, brush and pens are owned by their members and go with them.
TraceSurface::~TraceSurface() = default;

bool TraceSurface::CreatePens() {
  background_.Reset(CreateSolidBrush(kBackground));
  centrePen_.Reset(CreatePen(PS_SOLID, 1, kCentre));
  firstPen_.Reset(CreatePen(PS_SOLID, 1, kFirst));
  secondPen_.Reset(CreatePen(PS_SOLID, 1, kSecond));
  return background_ && centrePen_ && firstPen_ && secondPen_;
}

void TraceSurface::DeletePens() {
  background_.Reset();
  centrePen_.Reset();
  firstPen_.Reset();
  secondPen_.Reset();
}

bool TraceSurface::Valid() const {
  return surface_ && surface_->Valid() && background_ && centrePen_ && firstPen_ && secondPen_;
}

int TraceSurface::Width() const { return surface_ ? surface_->Width() : 0; }
int TraceSurface::Height() const { return surface_ ? surface_->Height() : 0; }

WaveTrace::WaveTrace(int width, int height, Mode mode, bool writeCache)
    : TraceSurface(width, height), mode_(mode), writeCache_(writeCache) {
  memset(&format_, 0, sizeof format_);
  format_.wFormatTag = WAVE_FORMAT_PCM;
  format_.nChannels = 1;
  if (width > 0) {
    tableSize_ = (uint32_t)width * 4;
    columns_.reset(new (std::nothrow) int16_t[(size_t)width * 2]);
    if (!columns_) tableSize_ = 0;
  }
  ResetTrace();
  amplitude_ = height / 2;
}

WaveTrace::~WaveTrace() = default;

void WaveTrace::ResetTrace() {
  if (columns_) memset(columns_.get(), 0, tableSize_);
}

void WaveTrace::SetFormat(const WAVEFORMATEX& format) {
  format_ = format;
  int channels = format.nChannels == 2 ? 2 : 1;
  amplitude_ = Height() / channels / 2;
}

int16_t WaveTrace::ColumnValue(const uint8_t* frame, const WAVEFORMATEX& format, int channel, int32_t amplitude) {
  SampleEncoding encoding = EncodingOf(format);
  if (encoding == SampleEncoding::kSigned16) {
    int16_t sample;
    memcpy(&sample, frame + channel * 2, 2);
    return (int16_t)((int32_t)sample * amplitude / 32768);
  }
  if (encoding == SampleEncoding::kUnsigned8) {
    int32_t sample = (int32_t)frame[channel] - 128;
    return (int16_t)(sample * amplitude / 128);
  }
  // Wider and float samples: their fraction of full scale, a float's clipped to it.
  uint32_t bytes = SampleBytes(encoding);
  if (bytes == 0) return 0;
  float value = SampleValue(frame + channel * bytes, encoding);
  value = value > 1.0f ? 1.0f : value < -1.0f ? -1.0f : value;
  return (int16_t)(value * (float)amplitude);
}

void WaveTrace::StoreColumn(int x, const uint8_t* frame) {
  columns_[x * 2] = ColumnValue(frame, format_, 0, amplitude_);
  columns_[x * 2 + 1] = format_.nChannels == 2 ? ColumnValue(frame, format_, 1, amplitude_) : 0;
}

int WaveTrace::ReadImageCache(const char* path) {
  ImageCacheImage image = {(int16_t)Width(), (int16_t)Height(), format_.nChannels, columns_.get(), tableSize_, &key_};
  int code = columns_ ? ReadImageCacheFile(path, &image) : (int)Error::OutOfMemory;
  if (code == Error::FileOpen) return code;  // a missing cache leaves the last error alone
  lastError_ = code;
  if (code == 0) {
    format_.nChannels = image.channels;
    SetFormat(format_);
  }
  return code;
}

int WaveTrace::WriteImageCache(const char* path) {
  if (!columns_) return lastError_ = Error::OutOfMemory;
  ImageCacheImage image = {(int16_t)Width(), (int16_t)Height(), format_.nChannels, columns_.get(), tableSize_, &key_};
  return lastError_ = WriteImageCacheFile(path, image);
}

int WaveTrace::BuildWaveImage(WaveFile* file, TraceProgress progress, void* context) {
  if (!file || !columns_) return Fail(Error::OutOfMemory);
  // A wave file whose cache name would not fit has no cache: computed each time.
  char cachePath[MAX_PATH];
  // A file whose key cannot be made (its data cannot be read) has no cache either.
  const bool cached = ImageCachePath(file->Name(), cachePath, sizeof cachePath) && MakeImageCacheKey(file, &key_);

  // Take the cache when it is at least as new as the wave file and holds its key.
  // The attribute query answers existence and write time without a directory search.
  WIN32_FILE_ATTRIBUTE_DATA cacheFound, waveFound;
  if (cached && GetFileAttributesExA(cachePath, GetFileExInfoStandard, &cacheFound) &&
      !(cacheFound.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
      GetFileAttributesExA(file->Name(), GetFileExInfoStandard, &waveFound) &&
      CompareFileTime(&cacheFound.ftLastWriteTime, &waveFound.ftLastWriteTime) >= 0) {
    if (ReadImageCache(cachePath) == 0) return 0;
    ResetTrace();  // a cache that failed half-way must not leave columns behind
  }

  WAVEFORMATEX format;
  file->GetFormat(&format);
  SetFormat(format);
  const int width = Width();
  const uint32_t blockAlign = format.nBlockAlign;
  const uint64_t frames = file->GetFrameCount();
  if (width <= 0 || blockAlign == 0 || blockAlign > 64) return Fail(Error::EmptyData);

  // One frame per column: column x shows frame x * (q + 1). A file too short for
  // that rule shows its last frame rather than bytes after the data.
  const uint64_t q = frames / (uint32_t)width;
  uint8_t frame[64];
  int lastPercent = 0;
  int code = 0;
  for (int x = 0; x < width && frames > 0; ++x) {
    uint64_t index = (uint64_t)x * (q + 1);
    if (index >= frames) index = frames - 1;
    uint32_t got = 0;
    if (file->Seek((int64_t)(file->DataStart() + index * blockAlign), MultimediaFile::kFromStart) != 0 ||
        file->Read(frame, blockAlign, &got) != 0) {
      code = Error::EmptyData;
      break;
    }
    if (got == blockAlign) StoreColumn(x, frame);  // a file shorter than it says shows nothing there
    int percent = (int)((double)x / width * 100.0);
    if (progress && percent != lastPercent) {
      lastPercent = percent;
      progress(percent, context);
    }
  }
  if (code != 0) return Fail(code);
  file->SeekToData();
  if (writeCache_ && cached) WriteImageCache(cachePath);
  lastError_ = 0;
  return 0;
}

void WaveTrace::FeedSamples(const void* block, uint32_t bytes) {
  const uint32_t blockAlign = format_.nBlockAlign;
  const int width = Width();
  if (!columns_ || !block || blockAlign == 0 || width <= 0) return;
  const uint32_t frames = bytes / blockAlign;
  if (frames == 0) return;
  const uint32_t step = frames / (uint32_t)width;
  const uint8_t* samples = static_cast<const uint8_t*>(block);
  for (int x = 0; x < width; ++x) StoreColumn(x, samples + (size_t)x * step * blockAlign);
}

void WaveTrace::DrawTrace(HDC dc) {
  if (!surface_ || !columns_) return;
  HDC target = dc ? dc : surface_->Dc();
  const int width = Width(), height = Height();
  RECT all = {0, 0, width, height};
  FillRect(target, &all, background_.Get());

  const bool stereo = format_.nChannels == 2;
  const int centres[2] = {stereo ? height / 4 : height / 2, 3 * height / 4};
  SelectionScope pens(target, centrePen_.Get());
  if (mode_ == kBars) {
    for (int ch = 0; ch < (stereo ? 2 : 1); ++ch) {
      MoveToEx(target, 0, centres[ch], nullptr);
      LineTo(target, width, centres[ch]);
    }
  }
  for (int ch = 0; ch < (stereo ? 2 : 1); ++ch) {
    SelectObject(target, ch == 0 ? firstPen_.Get() : secondPen_.Get());
    const int m = centres[ch];
    if (mode_ == kLine) MoveToEx(target, 0, m, nullptr);
    for (int x = 0; x < width; ++x) {
      const int v = columns_[x * 2 + ch];
      if (mode_ == kBars) {
        MoveToEx(target, x, m + v, nullptr);
        LineTo(target, x, m - v);
      } else {
        LineTo(target, x, m - v);
      }
    }
  }
}
