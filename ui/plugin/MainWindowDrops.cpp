// The main window's drop routing: which channel strips take the files dropped on
// the window, and why a drop is refused.
#include "ui/plugin/MainWindow.h"

#include <cstdio>

#include "core/ErrorCodes.h"
#include "core/List.h"
#include "util/PathText.h"
#include "wavedata/WaveFile.h"

// WM_DROPFILES at client (x, y).
bool MainWindow::OnDropFiles(int x, int y, List* names) {
  const int count = names ? names->Count() : 0;
  if (count == 0) return true;
  const int c = ChannelStrip::ChannelAt(x, y);
  if (c < 0) return RefuseDrop("Drop wave files on a channel strip to load them.");
  const ChannelSnapshot target = engine_.Peek(c);
  if (target.loaded && !target.owner) {
    snprintf(dropReason_, sizeof dropReason_,
             "Channel %i plays the right half of the stereo file of channel %i: drop on channel %i instead.", c + 1,
             c, c);
    return RefuseDrop(dropReason_);
  }
  int next = c;
  for (int i = 0; i < count; ++i) {
    const char* path = static_cast<const char*>(names->GetAt(i));
    // The first file goes where it was dropped; LoadChannel says when it cannot.
    const int k = i == 0 ? c : FreeChannelFor(path, next);
    if (k < 0) {
      char name[MAX_PATH];
      FileNameOfPath(path, name, sizeof name);
      snprintf(dropReason_, sizeof dropReason_,
               "No free channel after channel %i for %s: %i dropped file(s) not loaded.", next, name, count - i);
      return RefuseDrop(dropReason_);
    }
    int32_t partner = -1;
    if (engine_.LoadChannel(k, path, &partner) == 0) next = (partner >= 0 ? partner : k) + 1;
  }
  return true;
}

int MainWindow::FreeChannelFor(const char* path, int from) {
  // A file that does not parse goes to the first free channel, where its load says why.
  WaveFile probe;
  probe.SetQuiet(true);
  const bool stereo = probe.Open(path, MultimediaFile::kModeRead) == 0 && probe.ReadHeader() == 0 &&
                      probe.Header().channels == 2;
  probe.Close();
  return FreeTrack(stereo, from);
}

int MainWindow::FreeTrack(bool stereo, int from) const {
  bool loaded[kNumChannels];
  for (int k = 0; k < kNumChannels; ++k) loaded[k] = engine_.Peek(k).loaded;
  return FirstFreeTrack(loaded, kNumChannels, stereo, from);
}

bool MainWindow::RefuseDrop(const char* reason) {
  if (reason != dropReason_) lstrcpynA(dropReason_, reason, sizeof dropReason_);
  SetErrorText(dropReason_);
  ReportError(Error::DropRefused);
  SetErrorText(nullptr);
  return true;
}
