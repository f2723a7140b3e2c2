#include "plugin/Plugin.h"

#include <cstdio>
#include <new>

#include "core/ErrorCodes.h"
#include "plugin/SharedLibrary.h"
#include "recording/WaveInput.h"
#include "ui/plugin/MainWindow.h"
#include "util/EngineBox.h"
#include "util/ModulePath.h"
#include "util/Registry.h"

const char* const kHelpPage = "sondrel.html";

Plugin::Plugin(HINSTANCE instance) : instance_(instance) {}

Plugin::~Plugin() = default;

void Plugin::ShowError(int code, const char* text) {
  if (code > 100) {
    ShowEngineBox(text);
    return;
  }
  char errorText[kErrorTextSize];
  if (const SharedLibraryTable* shared = SharedLibraryBound()) {
    errorText[0] = '\0';
    shared->GetErrorText(code, errorText);
    shared->ShowVKLError(code, text, errorText);
    return;
  }
  // Without the shared library: the same box, with the text the plug-in knows.
  ShowErrorBox(code, text, ErrorCodeText(code));
}

void Plugin::ShowHelp(intptr_t, intptr_t) {
  if (const SharedLibraryTable* shared = SharedLibraryBound()) {
    shared->HandleVKLHelp(kHelpPage, 0, 0, 0);
    return;
  }
  OpenPageBesideModule(instance_, kHelpPage);
}

bool Plugin::Initialize() {
  LoadSharedLibrary();
  mainWindow_.reset(new (std::nothrow) MainWindow());
  if (MainWindow* main = mainWindow_.get()) {
    withChannels_ = main->Engine().ConstructionError() != Error::OutOfMemory;
    main->Engine().SetEventCallback(eventCallback_);
    main->Engine().SetInternalCallback(internalCallback_);
    main->SetSettings(settings_.get());
  }
  if (settings_) {
    settings_->SetFileName("orvanaudioengine.ini");
    settings_->SetQuiet(true);
  }
  return true;
}

void Plugin::ShowAttachNotices() {
  ShowSharedLibraryNotice();
  if (!mainWindow_)
    ShowError(Error::OutOfMemory, "Plugin");
  else if (int code = mainWindow_->Engine().ConstructionError())
    mainWindow_->ReportError(code);
}

bool Plugin::Terminate() {
  withChannels_ = false;
  // Under the loader lock a take's threads cannot end: the recorder parks them instead.
  WaveInput::SetUnloading(true);
  mainWindow_.reset();
  WaveInput::SetUnloading(false);
  UnloadSharedLibrary();
  return true;
}

void Plugin::SetEventCallback(EventCallback callback) {
  eventCallback_ = callback;
  if (mainWindow_) mainWindow_->Engine().SetEventCallback(callback);
}

void Plugin::SetInternalCallback(InternalCallback callback) {
  internalCallback_ = callback;
  if (mainWindow_) mainWindow_->Engine().SetInternalCallback(callback);
}
