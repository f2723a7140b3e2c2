#include "core/ErrorCodes.h"

const char* ErrorCodeText(int code) {
  switch (code) {
    case Error::None: return "No error.";
    case Error::FileOpen: return "The file could not be opened.";
    case Error::FileClose: return "The file could not be closed.";
    case Error::FileNotOpen: return "The file is not open.";
    case Error::Read: return "The file could not be read.";
    case Error::Write: return "The file could not be written.";
    case Error::Seek: return "A position in the file could not be reached.";
    case Error::FileBuffer: return "The file buffer size was refused: the file is read without that buffer.";
    case Error::NotPcmWave: return "This is not a wave file of integer PCM or 32-bit float samples.";
    case Error::EmptyData: return "The wave file holds no audio data.";
    case Error::EntryMissing: return "An entry point of the shared library is missing.";
    case Error::IndexRange: return "Element index out of range, or the list is full.";
    case Error::KeyMissing: return "The settings key is missing.";
    case Error::SectionMissing: return "The settings section is missing, or the recording device is not ready.";
    case Error::FormatNotConvertible:
      return "The wave format cannot be played: it must be mono or stereo, 8000 to 192000 Hz, with 8-, 16-, 24- or "
             "32-bit samples and a block align that fits them.";
    case Error::WindowCreate: return "The window could not be created.";
    case Error::OutOfMemory: return "Out of memory.";
    case Error::BufferSize: return "The recording buffer size must be a whole number of sample frames above 0.";
    case Error::ControlCreate: return "A control could not be created.";
    case Error::NoFreeChannel: return "There is no free channel for this file.";
    case Error::ChannelBusy: return "The channel is busy. Please try again.";
    case Error::ChannelLockMissing:
      return "A channel lock could not be created (another program may use its name): the channel cannot be used.";
    case Error::HostRefusedStart: return "The audio engine refused to start playing.";
    case Error::HostRefusedChannel: return "The audio engine refused the channel.";
    case Error::DeviceBusy: return "The recording device is busy: it is open or recording.";
    case Error::DropNotAccepted: return "No window accepted the dropped file.";
    case Error::WaveDevice: return "Wave device error.";
    case Error::DropRefused: return "The dropped files could not be loaded.";
    case Error::TakeEnded: return "The take ended early.";
    case Error::TakeRefused: return "The take could not be started.";
    case Error::PathTooLong: return "The path is too long to be opened.";
    case Error::FileDialogFailed: return "The file dialog failed.";
    default: return nullptr;
  }
}
