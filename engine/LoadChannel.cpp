// Opening a wave file into a channel: checks, buffers, the host's consent, the
// picture, and the installation of the new channel records under their locks.
#include <cstring>
#include <new>
#include <utility>

#include "engine/ChannelEngine.h"
#include "engine/Channel.h"
#include "engine/ChannelLock.h"
#include "core/ErrorCodes.h"
#include "core/SyncObject.h"
#include "wavedata/WaveFile.h"
#include "wavedata/WaveformatConverter.h"

// What a load has made so far; whatever is still here when it ends is released.
struct PendingLoad {
  OwnedWaveFile file;
  std::unique_ptr<WaveformatConverter> converter;
  std::unique_ptr<uint8_t[]> readBuffer;
};

namespace {
// A failure of the load itself, shown through the window's error report.
int Report(Object* reporter, int code) {
  if (!reporter) return code;
  return reporter->Fail(code);
}
}  // namespace

// Sizes the read buffer (and the converter's buffers) for blockSize; 0 or the code.
// The converter is quiet once the file is accepted, so its failure is reported here.
int ChannelEngine::SizeBuffers(PendingLoad& load, uint32_t blockSize, uint32_t* readSize) {
  *readSize = blockSize;
  if (load.converter && load.converter->AllocateBuffers(blockSize, readSize) != 0) {
    int code = load.converter->LastError();
    return load.converter->Quiet() ? Report(reporter_, code) : code;
  }
  load.readBuffer.reset(new (std::nothrow) uint8_t[*readSize ? *readSize : 1]);
  if (!load.readBuffer) return Report(reporter_, Error::OutOfMemory);
  return 0;
}

// On the interface thread. Everything is made before a channel lock is taken, so
// the streaming thread never waits for file or memory work.
int ChannelEngine::LoadChannel(int c, const char* path, int32_t* partner) {
  if (partner) *partner = -1;
  retired_.Collect();
  if (!ValidIndex(c) || !path) return Report(reporter_, Error::NoFreeChannel);

  PendingLoad load;
  load.file.reset(new (std::nothrow) WaveFile());
  if (!load.file) return Report(reporter_, Error::OutOfMemory);
  if (load.file->Open(path, MultimediaFile::kModeRead) != 0) return load.file->LastError();
  if (load.file->ReadHeader() != 0) return load.file->LastError();
  WAVEFORMATEX format;
  load.file->GetFormat(&format);
  bool stereo = format.nChannels == 2;
  // A refused buffer size is shown (the file is then read without it); the load goes on.
  load.file->SetBuffer((uint32_t)setup_.words[kSetupFileBuffer]);
  if (stereo && c + 1 >= kNumChannels) return Report(reporter_, Error::NoFreeChannel);
  int last = stereo ? c + 1 : c;
  for (int k = c; k <= last; ++k)
    if (!channels_[k].lock || !channels_[k].lock->Valid()) return Report(reporter_, Error::ChannelLockMissing);

  uint32_t blockSize = BlockSize();
  uint32_t readSize = blockSize;
  load.converter.reset(new (std::nothrow) WaveformatConverter());
  if (!load.converter) return Report(reporter_, Error::OutOfMemory);
  if (load.converter->Setup(format, hostFormat_, stereo) == Outcome::NoConversionNeeded) load.converter.reset();
  if (int code = SizeBuffers(load, blockSize, &readSize)) return code;

  // Installed in a channel, the file and converter only record their errors.
  load.file->SetQuiet(true);
  if (load.converter) load.converter->SetQuiet(true);

  if (!EmptyChannelsFor(c, last)) return Report(reporter_, Error::ChannelBusy);
  if (SendEvent(kEventChannelOpen, c + 1, stereo ? c + 2 : 0) == 0) return Report(reporter_, Error::HostRefusedChannel);

  // The picture; the file is still private to this load.
  ChannelView* view = view_;
  if (view) view->BuildPicture(c, load.file.get(), stereo);
  load.file->SeekToData();
  // The playing time at the host's rate, counted as the marker counts elapsed time.
  uint64_t frames = load.file->GetFrameCount();
  if (load.converter) frames = load.converter->OutputFrames(frames);
  uint64_t lengthMs = frames * 1000u / hostFormat_.nSamplesPerSec;
  uint32_t length = lengthMs > UINT32_MAX ? UINT32_MAX : (uint32_t)lengthMs;
  for (int k = c; k <= last; ++k) positions_[k].length = length ? length : 1;

  // Install. Anything loaded into the channels meanwhile (a nested load while the
  // picture was built) gives way to this file. The host's set-up may have changed
  // the block size meanwhile: the buffers are sized again for it, and the size is
  // compared under the locks, which the set-up takes after changing it.
  HeldLocks locks;
  for (int attempt = 0;; ++attempt) {
    int code = 0;
    if (!EmptyChannelsFor(c, last) || !LockChannels(locks, (1u << c) | (1u << last)))
      code = Report(reporter_, Error::ChannelBusy);
    else if (BlockSize() == blockSize)
      break;
    locks.ReleaseAll();
    if (code == 0 && attempt < 3) {
      blockSize = BlockSize();
      code = SizeBuffers(load, blockSize, &readSize);
    } else if (code == 0) {
      code = Report(reporter_, Error::ChannelBusy);
    }
    if (code != 0) {
      // The host has accepted the channel: tell it that it is gone again.
      SendEvent(kEventChannelClose, c + 1, stereo ? c + 2 : 0);
      return code;
    }
  }

  // The loop and sync switches stay as they were.
  Channel& owner = channels_[c];
  owner.loaded = true;
  owner.owner = true;
  owner.partner = stereo ? last : -1;
  owner.readSize = readSize;
  owner.output = load.converter ? load.converter->FirstBuffer() : load.readBuffer.get();
  owner.outputCount = 0;
  owner.state = kStopped;
  owner.previousState = kStopped;
  owner.dataValid = 0;
  owner.blockSize = blockSize;
  if (stereo) {
    // The right half takes its owner's switches: a pair plays, loops and waits as one.
    Channel& right = channels_[last];
    right.loaded = true;
    right.owner = false;
    right.partner = -1;
    right.readSize = 0;
    right.output = load.converter ? load.converter->SecondBuffer() : nullptr;
    right.outputCount = 0;
    right.state = kStopped;
    right.previousState = kStopped;
    right.dataValid = 0;
    right.blockSize = blockSize;
    right.loop = owner.loop;
    right.sync = owner.sync;
  }
  owner.file = std::move(load.file);
  owner.converter = std::move(load.converter);
  owner.readBuffer = std::move(load.readBuffer);
  RefreshStrip(c);
  if (stereo) RefreshStrip(last);
  locks.ReleaseAll();

  if (partner && stereo) *partner = last;
  if (reporter_) reporter_->SetLastError(0);
  return 0;
}
