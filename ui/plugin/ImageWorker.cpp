#include "ui/plugin/ImageWorker.h"

#include <cstdio>
#include <memory>
#include <new>

#include "core/ErrorCodes.h"
#include "core/SyncObject.h"
#include "ui/framework/ProgressDialog.h"
#include "ui/framework/Surface.h"
#include "ui/plugin/WaveTrace.h"
#include "util/PathText.h"
#include "wavedata/WaveFile.h"

namespace {
void ReportProgress(int percent, void* dialog) { static_cast<ProgressDialog*>(dialog)->SetProgress(percent); }
}  // namespace

DWORD WINAPI ImageWorkerThread(void* argument) {
  ImageJob* job = static_cast<ImageJob*>(argument);
  // A failed computation still shows the columns computed so far.
  job->trace->BuildWaveImage(job->file, ReportProgress, job->dialog);
  job->trace->DrawTrace(nullptr);
  job->dialog->Finish();
  return 1;
}

int BuildStripPictures(HINSTANCE instance, HWND owner, WaveFile* file, bool stereo, Surface* first, Surface* second) {
  char name[MAX_PATH], caption[MAX_PATH + 32];
  FileNameOfPath(file->Name(), name, sizeof name);
  snprintf(caption, sizeof caption, "Creating image from %s...", name);

  std::unique_ptr<WaveTrace> trace(new (std::nothrow) WaveTrace(
      kStripImageWidth, stereo ? 2 * kStripImageHeight : kStripImageHeight, WaveTrace::kBars, true));
  if (!trace || !trace->Valid() || !trace->Columns()) return Error::OutOfMemory;
  trace->DrawTrace(nullptr);
  WAVEFORMATEX format;
  file->GetFormat(&format);
  trace->SetFormat(format);

  ProgressDialog dialog;
  dialog.SetInstance(instance);
  dialog.SetParent(owner);
  dialog.SetCaption(caption);
  ImageJob job = {&dialog, file, trace.get()};
  ThreadObject worker(ImageWorkerThread, &job);
  // A worker that cannot run would leave the dialog waiting for it for ever.
  if (!worker.Valid() || !worker.Start()) return Error::OutOfMemory;
  dialog.RunModal();
  // The dialog closes only once the worker has drawn the picture; wait for the
  // thread itself too so that nothing touches the trace after this point.
  worker.Wait(INFINITE);

  Surface* picture = trace->GetSurface();
  if (first) picture->BlitRect(first->Dc(), 0, 0, 0, 0, kStripImageWidth, kStripImageHeight);
  if (stereo && second)
    picture->BlitRect(second->Dc(), 0, 0, 0, kStripImageHeight, kStripImageWidth, 2 * kStripImageHeight);
  return 0;
}
