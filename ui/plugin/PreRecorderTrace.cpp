// The pre-recorder's live trace: blocks arrive on the recorder's writer thread and only feed
// the trace's columns under the guard; the window's thread draws them when it paints.
#include "ui/plugin/PreRecorderWindow.h"

// Format, amplitude and an empty picture; on the window's thread, with no block arriving
// (the device is idle) or under the guard.
void PreRecorderWindow::ResetTrace() {
  if (!trace_ || !recorder_.Recorder()) return;
  EnterCriticalSection(&traceGuard_);
  trace_->SetFormat(recorder_.Recorder()->Format());
  trace_->ResetTrace();
  trace_->DrawTrace(nullptr);
  InterlockedExchange(&traceFed_, 0);
  LeaveCriticalSection(&traceGuard_);
  if (Handle()) InvalidateRect(Handle(), &traceRect_, FALSE);
}

void PreRecorderWindow::OnRecordedBlock(void* context, const uint8_t* block, uint32_t bytes) {
  PreRecorderWindow* window = static_cast<PreRecorderWindow*>(context);
  if (!window || !window->trace_) return;
  EnterCriticalSection(&window->traceGuard_);
  window->trace_->FeedSamples(block, bytes);
  LeaveCriticalSection(&window->traceGuard_);
  // One invalidation per drawn frame: blocks that come before the paint only refresh the columns.
  if (InterlockedExchange(&window->traceFed_, 1) == 0) {
    if (HWND hwnd = window->Handle()) InvalidateRect(hwnd, &window->traceRect_, FALSE);
  }
}

void PreRecorderWindow::DrawFedTrace() {
  if (!trace_ || InterlockedExchange(&traceFed_, 0) == 0) return;
  EnterCriticalSection(&traceGuard_);
  trace_->DrawTrace(nullptr);
  LeaveCriticalSection(&traceGuard_);
}

// WM_PAINT: the columns fed since the last paint are drawn first, here on the window's thread.
void PreRecorderWindow::OnPaint(HDC dc, const PAINTSTRUCT& paint) {
  DrawFedTrace();
  UserInterface::OnPaint(dc, paint);
}
