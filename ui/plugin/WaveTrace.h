// The waveform picture of a channel strip and the live input trace: a column
// table of one value pair per pixel column, filled from a wave file (or its cache
// file) or from blocks of samples, and drawn as bars or as a line.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <memory>

#include "core/Object.h"
#include "ui/framework/GdiHandles.h"
#include "ui/framework/Surface.h"
#include "wavedata/ImageCache.h"

class WaveFile;

// An off-screen surface with the trace's drawing tools.
class TraceSurface : public Object {
 public:
  // A blank width x height surface (white with a black frame) and the tools.
  TraceSurface(int width, int height);
  ~TraceSurface() override;
  TraceSurface(const TraceSurface&) = delete;
  TraceSurface& operator=(const TraceSurface&) = delete;

  virtual bool CreatePens();
  virtual void DeletePens();
  virtual void ResetTrace() {}
  virtual void DrawTrace(HDC dc) {}

  // False when the bitmap, its DC or a tool could not be made.
  bool Valid() const;
  Surface* GetSurface() const { return surface_.get(); }
  int Width() const;
  int Height() const;

 protected:
  std::unique_ptr<Surface> surface_;
  ScopedBrush background_;
  ScopedPen centrePen_;
  ScopedPen firstPen_;
  ScopedPen secondPen_;
};

// Progress of a picture being computed (percent done), so a long file can show it.
typedef void (*TraceProgress)(int percent, void* context);

class WaveTrace : public TraceSurface {
 public:
  enum Mode : int32_t { kBars = 0, kLine = 1 };

  WaveTrace(int width, int height, Mode mode, bool writeCache);
  ~WaveTrace() override;

  void ResetTrace() override;
  // Paints onto dc, or onto the trace's own surface when dc is null.
  void DrawTrace(HDC dc) override;

  // The format of the samples that feed the trace; sets the amplitude from the
  // trace's height and the format's channel count.
  void SetFormat(const WAVEFORMATEX& format);
  // Fills the column table from an open, parsed wave file, or from its cache file
  // when that is at least as new as the wave file and was drawn from a file of the
  // same format, data size and first and last samples. 0, or the code that ended it.
  int BuildWaveImage(WaveFile* file, TraceProgress progress, void* context);
  // Fills the column table from one block of samples in the trace's format.
  void FeedSamples(const void* block, uint32_t bytes);

  // The cache file at path: 0 or the code of the failure (stored as the last error,
  // never reported). Both use the key of the file the last BuildWaveImage drew.
  int ReadImageCache(const char* path);
  int WriteImageCache(const char* path);

  // Column value of one sample frame (first or second channel) at the given amplitude.
  static int16_t ColumnValue(const uint8_t* frame, const WAVEFORMATEX& format, int channel, int32_t amplitude);

  int32_t Amplitude() const { return amplitude_; }
  const int16_t* Columns() const { return columns_.get(); }
  uint32_t TableSize() const { return tableSize_; }
  const WAVEFORMATEX& Format() const { return format_; }

 private:
  // Column value pair for frame bytes into column x.
  void StoreColumn(int x, const uint8_t* frame);

  int32_t amplitude_ = 0;
  std::unique_ptr<int16_t[]> columns_;  // width pairs
  uint32_t tableSize_ = 0;
  WAVEFORMATEX format_;
  ImageCacheKey key_ = {};
  Mode mode_;
  bool writeCache_;
};
