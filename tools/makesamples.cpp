// makesamples DIR - synthesises the two sample files of the demo and writes them
// into DIR through the plug-in's own WaveFile:
//   melody-mono.wav    4 s, mono: a plucked-string arpeggio in A minor (loops seamlessly)
//   chords-stereo.wav  8 s, stereo: a pad playing Am F C G on the left,
//                      a bell answering each chord on the right
// Both are PCM 44100 Hz 16-bit, so they play without conversion.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "wavedata/WaveFile.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// A deterministic noise source for the plucked strings.
class Noise {
 public:
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return (double)(state_ >> 8) / (double)(1u << 24) * 2.0 - 1.0;
  }

 private:
  uint32_t state_ = 20000808u;
};

// Adds a plucked string (Karplus-Strong) of the note at frame `start` for `frames` frames.
void Pluck(std::vector<double>& out, size_t start, size_t frames, int midi, double gain, Noise& noise) {
  size_t period = (size_t)std::lround(kRate / NoteHz(midi));
  std::vector<double> line(period);
  for (double& v : line) v = noise.Next();
  for (size_t i = 0; i < frames && start + i < out.size(); ++i) {
    size_t k = i % period;
    double v = line[k];
    line[k] = 0.4994 * (v + line[(k + 1) % period]);
    out[start + i] += gain * v;
  }
}

// Adds a soft pad chord: three voices of a few harmonics, slow attack and release.
void Pad(std::vector<double>& out, size_t start, size_t frames, const int* midi, int voices, double gain) {
  for (size_t i = 0; i < frames && start + i < out.size(); ++i) {
    double t = (double)i / kRate, length = (double)frames / kRate;
    double envelope = std::fmin(1.0, t / 0.35) * std::fmin(1.0, (length - t) / 0.45);
    double v = 0;
    for (int n = 0; n < voices; ++n) {
      double f = NoteHz(midi[n]);
      for (int h = 1; h <= 4; ++h) v += std::sin(2 * kPi * f * h * t * (1.0 + 0.0007 * n)) / (h * h);
    }
    out[start + i] += gain * envelope * v / voices;
  }
}

// Adds a bell: two inharmonic partials with an exponential decay.
void Bell(std::vector<double>& out, size_t start, size_t frames, int midi, double gain) {
  double f = NoteHz(midi);
  for (size_t i = 0; i < frames && start + i < out.size(); ++i) {
    double t = (double)i / kRate;
    double v = std::sin(2 * kPi * f * t) + 0.45 * std::sin(2 * kPi * f * 2.76 * t) * std::exp(-t * 3);
    out[start + i] += gain * std::exp(-t * 2.2) * std::fmin(1.0, t / 0.004) * v;
  }
}

int16_t Sample(double v) {
  double s = std::lround(v * 32767.0);
  return (int16_t)(s > 32767 ? 32767 : s < -32768 ? -32768 : s);
}

// Brings the loudest sample of all channels to -1 dB, interleaves the channels
// as 16-bit samples and writes them as a PCM wave file.
bool Write(const std::string& path, const std::vector<double>* channels, uint16_t count) {
  size_t frames = channels[0].size();
  double peak = 1e-9;
  for (uint16_t c = 0; c < count; ++c)
    for (double v : channels[c]) peak = std::fmax(peak, std::fabs(v));
  double gain = 0.89 / peak;
  std::vector<int16_t> samples(frames * count);
  for (size_t i = 0; i < frames; ++i)
    for (uint16_t c = 0; c < count; ++c) samples[i * count + c] = Sample(channels[c][i] * gain);
  uint32_t bytes = (uint32_t)(samples.size() * sizeof(int16_t));
  WaveFile file;
  file.SetQuiet(true);
  uint32_t written = 0;
  bool ok = file.Open(path.c_str(), MultimediaFile::kModeCreate) == 0;
  if (ok) {
    file.BuildHeader(0, kRate, count, 16);
    ok = file.WriteHeader() == 0 && file.Write(samples.data(), bytes, &written) == 0 && written == bytes &&
         file.Finish(bytes) == 0;
  }
  ok = file.Close() == 0 && ok;
  if (!ok) fprintf(stderr, "makesamples: cannot write %s (error %d)\n", path.c_str(), file.LastError());
  return ok;
}

// Two bars of eighth notes at 120 beats per minute, each note left to ring.
bool WriteMelody(const std::string& path) {
  const int notes[16] = {57, 60, 64, 67, 69, 67, 64, 60, 53, 57, 60, 64, 55, 59, 62, 67};
  const size_t eighth = kRate / 4;
  std::vector<double> out(eighth * 16, 0.0);
  Noise noise;
  for (int n = 0; n < 16; ++n) Pluck(out, n * eighth, out.size() - n * eighth, notes[n], n % 4 == 0 ? 0.5 : 0.36, noise);
  // The last notes' tails wrap round to the start, so the file loops without a click.
  std::vector<double> tail(eighth * 4, 0.0);
  for (int n = 12; n < 16; ++n) Pluck(tail, 0, tail.size(), notes[n], 0.36, noise);
  for (size_t i = 0; i < tail.size(); ++i) out[i] += tail[i] * std::exp(-(double)i / eighth) * 0.5;
  return Write(path, &out, 1);
}

// Am F C G, two seconds each: the pad on the left, a bell on the right.
bool WriteChords(const std::string& path) {
  const int chords[4][3] = {{57, 60, 64}, {53, 57, 60}, {48, 55, 64}, {55, 59, 62}};
  const int bells[4] = {76, 72, 79, 74};
  const size_t bar = kRate * 2;
  std::vector<double> channels[2] = {std::vector<double>(bar * 4, 0.0), std::vector<double>(bar * 4, 0.0)};
  for (int c = 0; c < 4; ++c) {
    Pad(channels[0], c * bar, bar, chords[c], 3, 0.55);
    Bell(channels[1], c * bar + kRate / 2, bar + kRate, bells[c], 0.35);
    Bell(channels[1], c * bar + kRate + kRate / 4, bar, bells[c] - 5, 0.22);
  }
  return Write(path, channels, 2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fputs("usage: makesamples DIR (writes melody-mono.wav and chords-stereo.wav)\n", stderr);
    return 1;
  }
  std::string dir = argv[1];
  CreateDirectoryA(dir.c_str(), nullptr);
  bool ok = WriteMelody(dir + "\\melody-mono.wav") && WriteChords(dir + "\\chords-stereo.wav");
  if (ok) printf("makesamples: wrote melody-mono.wav and chords-stereo.wav in %s\n", dir.c_str());
  return ok ? 0 : 1;
}
