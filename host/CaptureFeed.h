// What the project's capture device is fed (scripts/capture.sh starts a private
// PulseAudio daemon with a pipe source and scripts/capture_feeder.py, which feeds it at
// real time), and the generated sequence a recorded stretch can be located in.
#pragma once
#include <cstddef>
#include <cstdint>

namespace hostkit {

// True when the project's scripts started the capture device (SONDREL_FEED is set).
bool FeedAvailable();
// Switches what the capture device is fed: "sequence 1", "sequence 2" (the generated
// sequence from its start; 1 puts the same value on both channels of the stereo source,
// so a mono take records it unchanged), "file PATH" (a 16-bit 44100 Hz wave file, once,
// then silence), "silence", "stop". Waits (at most 3 s) until the feeder has switched
// and the source has read everything fed before, so a device opened afterwards records
// only the new signal. False with a reason in error (size bytes) otherwise.
bool FeedSignal(const char* spec, char* error, size_t size);
// Feeds silence; false when there is no feeder or it did not answer.
bool StopFeed();

// Value k of the generated sequence: A[k & 0xFFFF] ^ B[k >> 16], where A is a fixed
// permutation of the 16-bit values and B a hash of the segment number. Within a segment
// no value repeats; scripts/capture_feeder.py makes the same values.
int16_t SequenceValue(uint64_t k);
// The frame of the sequence (fed with this many channels) at which the recorded frames
// begin, when every sample matches the sequence from there on; -1 otherwise.
int64_t LocateInSequence(const int16_t* samples, size_t frames, int channels);

}  // namespace hostkit
