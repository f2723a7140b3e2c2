// Builds a loaded file's waveform picture on a worker thread while the calling
// (interface) thread runs the modal progress dialog, then copies the picture
// into the channel strips' images.
#pragma once
#include <windows.h>

#include "engine/ChannelEngine.h"
#include "resources/window_layout.h"

class ProgressDialog;
class Surface;
class WaveFile;
class WaveTrace;

// The strip picture is the size of the position view that shows it.
constexpr int kStripImageWidth = kStripView.width;
constexpr int kStripImageHeight = kStripView.height;

// What the worker thread gets: the dialog to report to and close, the file, the trace.
struct ImageJob {
  ProgressDialog* dialog;
  WaveFile* file;
  WaveTrace* trace;
};

// The worker thread: computes (or reads from the cache) and draws the picture, then
// lets the dialog close and closes it. Returns 1.
DWORD WINAPI ImageWorkerThread(void* job);

// Runs the whole picture step of a load for an open, parsed file: the progress
// dialog "Creating image from <name>..." (template 117 of instance, owned by owner),
// the worker, and the copy into first (mono: the whole picture) and, for a stereo
// file, second (its lower half). 0, or 19 when the trace or thread cannot be made.
int BuildStripPictures(HINSTANCE instance, HWND owner, WaveFile* file, bool stereo, Surface* first, Surface* second);
