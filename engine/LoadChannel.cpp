// Opening a wave file into a channel: checks, buffers, the host's consent, the
// picture, and the installation of the new channel records under their locks.
#include <cstring>
#include <new>

#include "engine/ChannelEngine.h"
#include "engine/Channel.h"
#include "engine/ChannelLock.h"
#include "core/ErrorCodes.h"
#include "core/SyncObject.h"
#include "wavedata/WaveFile.h"
#include "wavedata/WaveformatConverter.h"

// What a load has made so far; discarded on every failure path.
struct PendingLoad {
  WaveFile* file = nullptr;
  WaveformatConverter* converter = nullptr;
  uint8_t* readBuffer = nullptr;

  ~PendingLoad() {
    delete[] readBuffer;
    if (converter) {
      converter->FreeBuffers();
      delete converter;
    }
    if (file) {
      file->Close();
      delete file;
    }
  }
  // The channel records own everything from here on.
  void Release() {
    file = nullptr;
    converter = nullptr;
    readBuffer = nullptr;
  }
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
  delete[] load.readBuffer;
  load.readBuffer = new (std::nothrow) uint8_t[*readSize ? *readSize : 1];
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
  load.file = new (std::nothrow) WaveFile();
  if (!load.file) return Report(reporter_, Error::OutOfMemory);
  if (load.file->Open(path, MultimediaFile::kModeRead) != 0) return load.file->LastError();
  if (load.file->ReadHeader() != 0) return load.file->LastError();
  WAVEFORMATEX format;
  load.file->GetFormat(&format);
  bool stereo = format.nChannels == 2;
  // The buffer only speeds reading up: a refusal is not worth a message.
  load.file->SetQuiet(true);
  load.file->SetBuffer((uint32_t)setup_.words[kSetupFileBuffer]);
  load.file->SetQuiet(false);
  if (stereo && c + 1 >= kNumChannels) return Report(reporter_, Error::NoFreeChannel);
  int last = stereo ? c + 1 : c;
  for (int k = c; k <= last; ++k)
    if (!channels_[k].lock || !channels_[k].lock->Valid()) return Report(reporter_, Error::ChannelLockMissing);

  uint32_t blockSize = BlockSize();
  uint32_t readSize = blockSize;
  load.converter = new (std::nothrow) WaveformatConverter();
  if (!load.converter) return Report(reporter_, Error::OutOfMemory);
  if (load.converter->Setup(format, hostFormat_, stereo) == Outcome::NoConversionNeeded) {
    delete load.converter;
    load.converter = nullptr;
  }
  if (int code = SizeBuffers(load, blockSize, &readSize)) return code;

  // Installed in a channel, the file and converter only record their errors.
  load.file->SetQuiet(true);
  if (load.converter) load.converter->SetQuiet(true);

  if (!EmptyChannelsFor(c, last)) return Report(reporter_, Error::ChannelBusy);
  if (SendEvent(kEventChannelOpen, c + 1, stereo ? c + 2 : 0) == 0) return Report(reporter_, Error::HostRefusedChannel);

  // The picture; the file is still private to this load.
  ChannelView* view = view_;
  if (view) view->BuildPicture(c, load.file, stereo);
  load.file->SeekToData();
  // The playing time at the host's rate, counted as the marker counts elapsed time.
  uint64_t lengthMs = (uint64_t)load.file->GetFrameCount() * 1000u / hostFormat_.nSamplesPerSec;
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

  Channel owner;
  memset(&owner, 0, sizeof owner);
  owner.lock = channels_[c].lock;
  owner.loaded = true;
  owner.owner = true;
  owner.partner = stereo ? c + 1 : -1;
  owner.file = load.file;
  owner.converter = load.converter;
  owner.readSize = readSize;
  owner.readBuffer = load.readBuffer;
  owner.output = load.converter ? load.converter->FirstBuffer() : load.readBuffer;
  owner.state = kStopped;
  owner.previousState = kStopped;
  owner.blockSize = blockSize;
  owner.loop = channels_[c].loop;
  owner.sync = channels_[c].sync;
  channels_[c] = owner;
  if (stereo) {
    // The right half takes its owner's switches: a pair plays, loops and waits as one.
    Channel right = owner;
    right.lock = channels_[last].lock;
    right.owner = false;
    right.partner = -1;
    right.readSize = 0;
    right.readBuffer = nullptr;
    right.output = load.converter ? load.converter->SecondBuffer() : nullptr;
    channels_[last] = right;
  }
  load.Release();
  RefreshStrip(c);
  if (stereo) RefreshStrip(last);
  locks.ReleaseAll();

  if (partner && stereo) *partner = last;
  if (reporter_) reporter_->SetLastError(0);
  return 0;
}
