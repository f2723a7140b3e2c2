#include "plugin/Application.h"

#include <new>

#include "util/Registry.h"

Application::Application() {
  SetErrorHandler(this);
  settings_.reset(new (std::nothrow) Registry());
}

Application::~Application() {
  if (GetErrorHandler() == this) SetErrorHandler(nullptr);
}
