#include "ui/plugin/WavePropertiesDialog.h"

#include <cstdio>

#include "resources/resource_ids.h"
#include "util/PathText.h"

namespace {
// Bytes of a plain PCM format chunk; more is noted as additional data.
constexpr int32_t kPlainFormatChunk = 16;

void SetNumber(HWND dialog, int item, uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "%u", value);
  SetDlgItemTextA(dialog, item, text);
}
}  // namespace

// Each click on a properties button makes one.
WavePropertiesDialog::WavePropertiesDialog() : Dialog(kWavePropertiesTemplate) {}

// A copy of what the dialog shows, taken under the channel's lock: the dialog runs
// without it, while the channel may close.
void WavePropertiesDialog::Fill(const WaveFile& file) {
  header_ = file.Header();
  lstrcpynA(fileName_, file.Name(), sizeof fileName_);
  playingTimeMs_ = file.GetLengthMs();
  floatSamples_ = file.FloatSamples();
  lstrcpynA(skippedChunks_, file.SkippedChunks(), sizeof skippedChunks_);
}

// The texts are filled once: the dialog shows the file as it was when opened.
void WavePropertiesDialog::OnInitDialog() {
  char text[kTextSize];
  SetDlgItemTextA(hwnd_, IDC_PROP_FILENAME, FileNameOfPath(fileName_, text, sizeof text));
  // Loaded files hold integer PCM or IEEE float samples (plain or in the extensible form).
  SetDlgItemTextA(hwnd_, IDC_PROP_FORMAT, floatSamples_ ? "IEEE float" : "PCM");
  SetNumber(hwnd_, IDC_PROP_CHANNELS, header_.channels);
  SetNumber(hwnd_, IDC_PROP_RATE, header_.samplesPerSec);
  SetNumber(hwnd_, IDC_PROP_BYTES_PER_SEC, header_.avgBytesPerSec);
  SetNumber(hwnd_, IDC_PROP_ALIGN, header_.blockAlign);
  SetNumber(hwnd_, IDC_PROP_BITS, header_.bitsPerSample);
  text[0] = '\0';
  const int32_t chunkSize = (int32_t)header_.fmtSize;
  if (chunkSize > kPlainFormatChunk)
    snprintf(text, sizeof text, "Chunk has %i Bytes additional data!", chunkSize - kPlainFormatChunk);
  SetDlgItemTextA(hwnd_, IDC_PROP_INFO, text);
  // The names with a blank after each ';', so that the field wraps between them.
  char chunks[2 * kSkippedChunksSize];
  size_t used = 0;
  for (const char* p = skippedChunks_; *p && used + 2 < sizeof chunks; ++p) {
    chunks[used++] = *p;
    if (*p == ';' && p[1] != '\0') chunks[used++] = ' ';
  }
  chunks[used] = '\0';
  SetDlgItemTextA(hwnd_, IDC_PROP_IGNORED, chunks);
  char duration[kTextSize];
  snprintf(text, sizeof text, "Total runtime is %s ...", FormatDuration(playingTimeMs_, duration, sizeof duration));
  SetDlgItemTextA(hwnd_, IDC_PROP_TOTAL_TIME, text);
}
