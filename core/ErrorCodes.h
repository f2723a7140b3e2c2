// The one numbering of error codes and outcomes used throughout the plug-in.
#pragma once

namespace Error {
enum Code : int {
  None = 0,
  FileOpen = 1,          // opening a file failed
  FileClose = 2,         // closing a file failed
  FileNotOpen = 3,       // file not open
  Read = 4,              // read error
  Write = 5,             // write error
  Seek = 6,              // seek error
  FileBuffer = 7,        // file buffer refused
  NotPcmWave = 8,        // not a wave file of integer PCM or 32-bit float samples
  EmptyData = 9,         // empty data chunk
  EntryMissing = 10,     // a shared-library entry point is missing
  IndexRange = 13,       // element index out of range, or a full list
  KeyMissing = 15,       // settings key missing
  SectionMissing = 16,   // settings section missing
  NotReady = 16,         // the same code from a device: no buffers yet, or not recording
  FormatNotConvertible = 17,  // not mono or stereo, a rate outside 8000..192000 Hz, or depth and block align amiss
  WindowCreate = 18,     // registering the window class or creating the window failed
  OutOfMemory = 19,
  BufferSize = 20,       // a recording buffer size of 0, or not a whole number of sample frames
  ControlCreate = 28,
  NoFreeChannel = 32,
  ChannelBusy = 33,         // a channel's lock was held elsewhere for longer than the wait
  HostRefusedStart = 34,
  HostRefusedChannel = 35,
  ChannelLockMissing = 36,  // a channel's lock could not be created at attach
  DeviceBusy = 37,          // a recording device is open or recording: it cannot be changed now
  DropNotAccepted = 46,
  WaveDevice = 101,      // wave device error, with the device's error text
  DropRefused = 102,     // dropped files no strip could take, with the reason as text
  TakeEnded = 103,       // a take was cut short (a failed write, the size limit), with file and reason as text
  TakeRefused = 104,     // a take could not start (its file cannot be written or is in use), with the reason
  PathTooLong = 105,     // a path longer than the system opens, with the file's name as text
  FileDialogFailed = 106,  // the open or save dialog failed (not a cancel), with the reason as text
};
}  // namespace Error

// Outcomes that share the number space but are never reported.
namespace Outcome {
enum Code : int {
  CacheMismatch = 201,
  NoConversionNeeded = 202,
};
}

// A short English text for an error code; "error N" is the caller's fallback (null here).
const char* ErrorCodeText(int code);

