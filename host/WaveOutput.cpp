#include "host/WaveOutput.h"

#include <cstring>
#include <new>

#include "host/PluginLoader.h"

namespace hostkit {

namespace {
constexpr DWORD kRate = 44100;

std::string MmText(MMRESULT result) {
  char text[MAXERRORLENGTH] = "";
  if (waveOutGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR || !text[0])
    return "error " + std::to_string(result);
  return text;
}
}  // namespace

void MixChannel(int32_t* sums, uint32_t frames, ChannelRole role, const uint8_t* data, int32_t bytes) {
  if (!data || bytes < 2) return;
  uint32_t n = (uint32_t)bytes / 2;
  if (n > frames) n = frames;
  const bool left = role != ChannelRole::kRight, right = role != ChannelRole::kLeft;
  for (uint32_t i = 0; i < n; ++i) {
    // Little-endian whatever the alignment of the plug-in's buffer.
    int32_t sample = (int16_t)(uint16_t)(data[2 * i] | (data[2 * i + 1] << 8));
    if (left) sums[2 * i] += sample;
    if (right) sums[2 * i + 1] += sample;
  }
}

void SaturateFrames(const int32_t* sums, uint32_t frames, int16_t* out) {
  for (uint32_t i = 0; i < 2 * frames; ++i) {
    int32_t v = sums[i];
    out[i] = (int16_t)(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
  }
}

bool WaveOutput::Open(std::string* error) {
  if (device_) return true;
  if (!done_) done_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!done_) {
    *error = "cannot create the wave output's event: " + SystemErrorText(GetLastError());
    return false;
  }
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = kRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = kRate * 4;
  if (waveOutGetNumDevs() == 0) {
    *error = "this machine has no wave output device";
    return false;
  }
  MMRESULT result = waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done_), 0, CALLBACK_EVENT);
  if (result != MMSYSERR_NOERROR) {
    device_ = nullptr;
    *error = "the default wave output device refuses 16-bit stereo 44100 Hz: " + MmText(result);
    return false;
  }
  QueryPerformanceFrequency(&frequency_);
  framesWritten_ = 0;
  return true;
}

void WaveOutput::FreeBuffers() {
  for (int i = 0; i < kQueued; ++i) {
    if (device_ && (headers_[i].dwFlags & WHDR_PREPARED)) waveOutUnprepareHeader(device_, &headers_[i], sizeof(WAVEHDR));
    delete[] buffers_[i];
    buffers_[i] = nullptr;
    headers_[i] = WAVEHDR();
  }
  delete[] sums_;
  sums_ = nullptr;
  frames_ = 0;
  current_ = -1;
}

void WaveOutput::Close(DWORD drainMs) {
  if (device_) {
    // A period of silence after the last one: the device lets a buffer go a
    // little before its last frames are heard, and a close drops what is unheard.
    bool underrun = false;
    if (sums_ && WaitForRoom(drainMs)) Submit(&underrun);
    Drain(drainMs);
    waveOutReset(device_);  // whatever did not play out in time comes back now
    FreeBuffers();
    waveOutClose(device_);
    device_ = nullptr;
  } else {
    FreeBuffers();
  }
  if (done_) CloseHandle(done_);
  done_ = nullptr;
}

bool WaveOutput::Prepare(uint32_t frames) {
  if (!device_) return false;
  if (frames == frames_ && sums_) return true;
  if (!Drain(5000)) waveOutReset(device_);
  FreeBuffers();
  sums_ = new (std::nothrow) int32_t[2 * (size_t)frames];
  bool ok = sums_ != nullptr;
  for (int i = 0; ok && i < kQueued; ++i) {
    buffers_[i] = new (std::nothrow) int16_t[2 * (size_t)frames];
    ok = buffers_[i] != nullptr;
    if (ok) {
      headers_[i].lpData = reinterpret_cast<LPSTR>(buffers_[i]);
      headers_[i].dwBufferLength = frames * 4;
      ok = waveOutPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
    }
  }
  if (!ok) {
    FreeBuffers();
    return false;
  }
  frames_ = frames;
  return true;
}

void WaveOutput::StartStretch() {
  stretchPeriods_ = 0;
  stretchUnderruns_ = 0;
}

// A buffer not queued on the device: never written, or given back (WHDR_DONE).
int WaveOutput::FreeBuffer() const {
  for (int i = 0; i < kQueued; ++i)
    if (!(headers_[i].dwFlags & WHDR_INQUEUE) || (headers_[i].dwFlags & WHDR_DONE)) return i;
  return -1;
}

int WaveOutput::Queued() const {
  int n = 0;
  for (const WAVEHDR& header : headers_) n += (header.dwFlags & WHDR_INQUEUE) && !(header.dwFlags & WHDR_DONE);
  return n;
}

bool WaveOutput::WaitForRoom(DWORD timeoutMs) {
  if (!device_ || !sums_) return false;
  DWORD start = GetTickCount();
  for (;;) {
    int free = FreeBuffer();
    if (free >= 0) {
      current_ = free;
      break;
    }
    DWORD waited = GetTickCount() - start;
    if (waited >= timeoutMs) return false;
    WaitForSingleObject(done_, timeoutMs - waited);
  }
  QueryPerformanceCounter(&lastRoom_);
  // The device paces from the period after the first full queue on.
  if (stretchPeriods_ == kQueued) pacedStart_ = lastRoom_;
  memset(sums_, 0, 2 * (size_t)frames_ * sizeof(int32_t));
  return true;
}

bool WaveOutput::Submit(bool* underrun) {
  *underrun = false;
  if (current_ < 0) return false;
  WAVEHDR& header = headers_[current_];
  SaturateFrames(sums_, frames_, buffers_[current_]);
  // Every buffer given back and every frame written played: the device ran dry.
  if (stretchPeriods_ > 0 && Queued() == 0) *underrun = PlayedAll();
  header.dwFlags &= ~WHDR_DONE;
  MMRESULT result = waveOutWrite(device_, &header, sizeof(WAVEHDR));
  current_ = -1;
  if (result != MMSYSERR_NOERROR) return false;
  framesWritten_ += frames_;
  ++stretchPeriods_;
  if (*underrun) ++stretchUnderruns_;
  return true;
}

bool WaveOutput::PlayedAll() const {
  MMTIME position = {};
  position.wType = TIME_SAMPLES;
  if (waveOutGetPosition(device_, &position, sizeof position) != MMSYSERR_NOERROR || position.wType != TIME_SAMPLES)
    return true;  // nothing better to go by than the buffers given back
  return (int32_t)(position.u.sample - (DWORD)framesWritten_) >= 0;
}

bool WaveOutput::Drain(DWORD timeoutMs) {
  if (!device_) return true;
  DWORD start = GetTickCount();
  // A buffer comes back once the device has taken it; its last frames may still be on their way.
  while (Queued() > 0 || !PlayedAll()) {
    DWORD waited = GetTickCount() - start;
    if (waited >= timeoutMs) return false;
    WaitForSingleObject(done_, timeoutMs - waited < 50 ? timeoutMs - waited : 50);
  }
  return true;
}

double WaveOutput::PacedMs() const {
  if (!PacedPeriods() || !frequency_.QuadPart) return 0;
  return (double)(lastRoom_.QuadPart - pacedStart_.QuadPart) * 1000.0 / (double)frequency_.QuadPart;
}

}  // namespace hostkit
