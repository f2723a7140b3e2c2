// The main window's file routing: which channel strips take the files dropped on
// the window and the pre-recorder's takes, why a drop is refused, and which track
// holds a file already.
#include "ui/plugin/MainWindow.h"

#include <cstdio>

#include "core/ErrorCodes.h"
#include "core/List.h"
#include "engine/FirstFreeTrack.h"
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

int MainWindow::TrackOfFile(const char* path) {
  if (!path || !path[0]) return 0;
  for (int c = 0; c < kNumChannels; ++c) {
    // The name is copied under the channel's lock; the files are compared after it.
    char loaded[kResourceNameSize] = "";
    auto copyName = [](const WaveFile& file, void* name) { lstrcpynA(static_cast<char*>(name), file.Name(), kResourceNameSize); };
    // A right half answers through its owner, which comes first.
    if (engine_.Peek(c).loaded && engine_.ReadFile(c, copyName, loaded) && loaded[0] && SameFile(loaded, path))
      return c + 1;
  }
  return 0;
}

int MainWindow::LoadTake(const char* path, bool stereo) {
  const int c = FreeTrack(stereo, 0);
  // The take stays on disk either way.
  if (c < 0) return Fail(Error::NoFreeChannel);
  int32_t partner = -1;
  return engine_.LoadChannel(c, path, &partner);
}
