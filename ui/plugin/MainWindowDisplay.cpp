// The main window's display of the channels: the channel side reports changes on
// any thread (the streaming thread too); they are recorded here and shown on the
// window's thread, at once when they come from it, else at its next paint.
#include "ui/plugin/MainWindow.h"

#include "ui/framework/ToggleButton.h"
#include "ui/plugin/ImageWorker.h"
#include "ui/plugin/PositionView.h"

// Display calls: whether they may touch the controls now.
bool MainWindow::OnWindowThread() const { return windowThread_ != 0 && GetCurrentThreadId() == windowThread_; }

// RefreshStrip: what the strip is to show, read under the channel's lock.
bool MainWindow::ReadLoadState(int c, StripLoadState* state) {
  // The channel side calls with the lock held (it is taken again at once) or, when a
  // window attaches, without: then it is awaited, as briefly as any channel command.
  ChannelSnapshot channel;
  if (!engine_.Snapshot(c, &channel, state->fileName, sizeof state->fileName)) return false;
  state->loaded = channel.loaded;
  state->owner = channel.owner;
  state->loop = channel.loop;
  state->sync = channel.sync;
  return true;
}

// After a load, a close, and when the window attaches; on any thread.
void MainWindow::RefreshStrip(int c) {
  if (c < 0 || c >= kNumChannels) return;
  StripLoadState state;
  bool read = ReadLoadState(c, &state);
  EnterCriticalSection(&displayGuard_);
  // A busy lock keeps the name shown so far; the flags are plain values.
  if (!read) {
    state = shownLoad_[c];
    const ChannelSnapshot channel = engine_.Peek(c);
    state.loaded = channel.loaded;
    state.owner = channel.owner;
  }
  shownLoad_[c] = state;
  LeaveCriticalSection(&displayGuard_);
  InterlockedOr(&pendingLoad_, 1 << c);
  DisplayChanged();
}

// Whenever channel c's state value changed; on any thread, also the streaming one.
void MainWindow::ShowChannelState(int c) {
  if (c < 0 || c >= kNumChannels) return;
  InterlockedOr(&pendingState_, 1 << c);
  DisplayChanged();
}

// After a display change was recorded.
void MainWindow::DisplayChanged() {
  if (OnWindowThread()) {
    ApplyPendingDisplay();
    InvalidateRect(Handle(), nullptr, FALSE);
    return;
  }
  // Another thread: only the invalidation; the window's thread shows the change when it paints.
  if (HWND hwnd = Handle()) InvalidateRect(hwnd, nullptr, FALSE);
}

// On the window's thread: at once for its own changes, at the next paint for others'.
void MainWindow::ApplyPendingDisplay() {
  LONG load = InterlockedExchange(&pendingLoad_, 0);
  LONG state = InterlockedExchange(&pendingState_, 0);
  for (int c = 0; c < kNumChannels; ++c) {
    if (load & (1 << c)) {
      StripLoadState shown;
      EnterCriticalSection(&displayGuard_);
      shown = shownLoad_[c];
      LeaveCriticalSection(&displayGuard_);
      strips_[c].ShowLoadState(shown);
      // Showing the load state disables pause; the play state decides it again.
      state |= 1 << c;
    }
    if (state & (1 << c)) strips_[c].ShowPlayState(engine_.Peek(c).state);
  }
}

// WM_PAINT: what other threads changed is shown first.
void MainWindow::OnPaint(HDC dc, const PAINTSTRUCT& paint) {
  ApplyPendingDisplay();
  UserInterface::OnPaint(dc, paint);
}

// The streaming thread moved channel c's marker to another column.
void MainWindow::InvalidatePosition(int c) {
  if (c < 0 || c >= kNumChannels) return;
  if (PositionView* view = strips_[c].View()) view->FollowPosition();
}

// The host refused a start while the play switch was pressed (a message box took the release).
void MainWindow::ForgetPressedControl() {
  if (OnWindowThread()) UserInterface::ForgetPressedControl();
}

// During a load, once the host accepted the channel: the picture, behind the progress dialog.
void MainWindow::BuildPicture(int c, WaveFile* file, bool stereo) {
  if (c < 0 || c >= kNumChannels || !file) return;
  Surface* second = stereo && c + 1 < kNumChannels ? images_[c + 1].get() : nullptr;
  BuildStripPictures(Instance(), Handle(), file, stereo, images_[c].get(), second);
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

// After every button release (OnLButtonUp).
void MainWindow::ShowSwitches(int c) {
  ChannelStrip& strip = strips_[c];
  if (!strip.Created()) return;
  const ChannelSnapshot channel = engine_.Peek(c);
  ToggleButton* switches[] = {strip.Loop(), strip.Sync(), strip.Pause()};
  const bool on[] = {channel.loop, channel.sync, channel.state == kPaused};
  for (int i = 0; i < 3; ++i) {
    if (switches[i]->On() == on[i]) continue;
    switches[i]->SetOn(on[i]);
    switches[i]->Invalidate();
  }
}
