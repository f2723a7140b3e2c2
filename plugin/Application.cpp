#include "plugin/Application.h"

#include <new>

#include "util/Registry.h"

Application::Application() {
  SetErrorHandler(this);
  settings_ = new (std::nothrow) Registry();
}

Application::~Application() {
  delete settings_;
  settings_ = nullptr;
  if (GetErrorHandler() == this) SetErrorHandler(nullptr);
}
