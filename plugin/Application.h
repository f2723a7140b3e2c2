// What a process-wide application object needs whatever it hosts: it is the
// process's error handler and owns the settings store.
#pragma once
#include <memory>

#include "core/Object.h"

class Registry;

class Application : public ErrorHandler {
 public:
  // Registers itself as the error handler, then creates the settings store.
  Application();
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  void ShowError(int code, const char* text) override = 0;
  void ShowHelp(intptr_t a, intptr_t b) override {}

  Registry* Settings() const { return settings_.get(); }

 protected:
  std::unique_ptr<Registry> settings_;
};
