// Opening a wave file into a channel: checks, buffers, the host's consent, the
// picture, and the installation of the new channel records under their locks.
#include <cstring>
#include <new>

#include "engine/ChannelEngine.h"
#include "engine/Channel.h"
#include "engine/ChannelLock.h"
#include "core/ErrorCodes.h"
#include "wavedata/WaveFile.h"
#include "wavedata/WaveformatConverter.h"

namespace {
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

// A failure of the load itself, shown through the window's error report.
int Report(Object* reporter, int code) {
  if (!reporter) return code;
  return reporter->Fail(code);
}
}  // namespace

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

  uint32_t blockSize = (uint32_t)setup_.words[kSetupBlockSize];
  uint32_t readSize = blockSize;
  load.converter = new (std::nothrow) WaveformatConverter();
  if (!load.converter) return Report(reporter_, Error::OutOfMemory);
  if (load.converter->Setup(format, hostFormat_, stereo) == Outcome::NoConversionNeeded) {
    delete load.converter;
    load.converter = nullptr;
  } else if (load.converter->AllocateBuffers(blockSize, &readSize) != 0) {
    return load.converter->LastError();
  }
  load.readBuffer = new (std::nothrow) uint8_t[readSize ? readSize : 1];
  if (!load.readBuffer) return Report(reporter_, Error::OutOfMemory);

  Channel owner;
  memset(&owner, 0, sizeof owner);
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
  Channel right;
  memset(&right, 0, sizeof right);
  right.loaded = true;
  right.partner = -1;
  right.file = load.file;
  right.converter = load.converter;
  right.output = load.converter ? load.converter->SecondBuffer() : nullptr;
  right.state = kStopped;
  right.previousState = kStopped;

  // Installed in a channel, the file and converter only record their errors.
  load.file->SetQuiet(true);
  if (load.converter) load.converter->SetQuiet(true);

  int last = stereo ? c + 1 : c;
  if (!EmptyChannelsFor(c, last)) return Report(reporter_, Error::NoFreeChannel);
  if (SendEvent(kEventChannelOpen, c + 1, stereo ? c + 2 : 0) == 0) return Report(reporter_, Error::HostRefusedChannel);

  // The picture; the file is still private to this load.
  ChannelView* view = view_;
  if (view) view->BuildPicture(c, load.file, stereo);
  load.file->SeekToData();
  uint32_t length = load.file->GetLengthMs();
  for (int k = c; k <= last; ++k) positions_[k].length = length ? length : 1;

  // Install. Anything loaded into the channels meanwhile (a nested load while the
  // picture was built) gives way to this file.
  HeldLocks locks;
  if (!EmptyChannelsFor(c, last) || !LockChannels(locks, (1u << c) | (1u << last))) {
    // The host has accepted the channel: tell it that it is gone again.
    SendEvent(kEventChannelClose, c + 1, stereo ? c + 2 : 0);
    return Report(reporter_, Error::NoFreeChannel);
  }
  owner.lock = channels_[c].lock;
  owner.loop = channels_[c].loop;
  owner.sync = channels_[c].sync;
  channels_[c] = owner;
  if (stereo) {
    right.lock = channels_[last].lock;
    right.loop = channels_[last].loop;
    right.sync = channels_[last].sync;
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
