// wavprobe FILE... - prints, for each wave file, one JSON object on one line with what
// the plug-in's parser and converter make of it. A refused file is a result, not a
// failure: the exit status is 0 unless no file was named.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "core/ErrorCodes.h"
#include "wavedata/WaveFile.h"
#include "wavedata/WaveformatConverter.h"

namespace {
// The block size probed against the host format.
constexpr uint32_t kProbeBlockSize = 4410;

// Writes text as a JSON string; control characters and bytes above 127 as \u00XX.
void PrintString(const char* text) {
  putchar('"');
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p == '"' || *p == '\\') printf("\\%c", *p);
    else if (*p < 0x20 || *p >= 0x7F) printf("\\u%04x", *p);
    else putchar(*p);
  }
  putchar('"');
}

void PrintNumber(const char* name, unsigned long long value) { printf(",\"%s\":%llu", name, value); }

// Runs the loader's steps on one file and prints what they found.
void Probe(const char* path) {
  WaveFile file;
  file.SetQuiet(true);
  printf("{\"path\":");
  PrintString(path);
  int open = file.Open(path, MultimediaFile::kModeRead);
  printf(",\"open\":%d", open);
  if (open != 0) {
    printf("}\n");
    return;
  }
  int header = file.ReadHeader();
  printf(",\"header\":%d", header);
  const WaveHeader& h = file.Header();
  WaveFile::Stage stage = file.HeaderStage();
  if (stage >= WaveFile::kStageFormat) {
    PrintNumber("fmtSize", h.fmtSize);
    PrintNumber("formatTag", h.formatTag);
    PrintNumber("channels", h.channels);
    PrintNumber("rate", h.samplesPerSec);
    PrintNumber("avgBytes", h.avgBytesPerSec);
    PrintNumber("blockAlign", h.blockAlign);
    PrintNumber("bits", h.bitsPerSample);
    // The extensible form names what its samples are: integer PCM or IEEE float.
    if (file.Extensible()) {
      const WaveFormatExtension& x = file.Extension();
      PrintNumber("validBits", x.validBits);
      PrintNumber("channelMask", x.channelMask);
      char guid[40];
      const uint8_t* g = x.subFormat;
      snprintf(guid, sizeof guid, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", g[3], g[2],
               g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
      printf(",\"subFormat\":");
      PrintString(guid);
    }
  }
  // An RF64 file's data size is its 'ds64' chunk's when the header defers to it.
  if (stage >= WaveFile::kStageData) PrintNumber("dataSize", file.DataSize());
  if (stage >= WaveFile::kStageRiff && file.Rf64()) printf(",\"rf64\":true");
  if (header == 0) {
    PrintNumber("dataStart", file.DataStart());
    // Less than dataSize when the file ends before its data chunk does.
    PrintNumber("dataPresent", file.PresentDataSize());
  }
  if (stage >= WaveFile::kStageChunks) {
    printf(",\"skipped\":");
    PrintString(file.SkippedChunks());
  }
  if (stage >= WaveFile::kStageData) {
    PrintNumber("lengthMs", file.GetLengthMs());
    PrintNumber("frames", file.GetFrameCount());
  }
  if (header == 0) {
    WAVEFORMATEX format, host;
    file.GetFormat(&format);
    MakePcmFormat(&host, 44100, 1, 16);
    // How the samples are stored, and whether playing converts their rate.
    printf(",\"encoding\":\"%s\"", file.FloatSamples() ? "float" : "pcm");
    WaveformatConverter converter;
    converter.SetQuiet(true);
    int convert = converter.Setup(format, host, format.nChannels == 2);
    if (convert != Outcome::NoConversionNeeded) {
      uint32_t readSize = 0;
      convert = converter.AllocateBuffers(kProbeBlockSize, &readSize);
      printf(",\"convert\":%d", convert);
      if (convert == 0) {
        PrintNumber("readSize", readSize);
        PrintNumber("resampled", converter.Resampling() ? 1 : 0);
      }
      converter.FreeBuffers();
    } else {
      printf(",\"convert\":%d", convert);
    }
  }
  file.Close();
  printf("}\n");
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: wavprobe FILE...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) Probe(argv[i]);
  fflush(stdout);
  return 0;
}
