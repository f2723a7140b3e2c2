// Stands in for the plug-in as error handler: records what would be shown.
#pragma once
#include <string>
#include <vector>

#include "plugin/Object.h"

class RecordingHandler : public ErrorHandler {
 public:
  struct Call {
    int code;
    std::string text;
  };
  RecordingHandler() : previous_(GetErrorHandler()) { SetErrorHandler(this); }
  ~RecordingHandler() { SetErrorHandler(previous_); }
  void ShowError(int code, const char* text) override { calls.push_back({code, text ? text : "(null)"}); }
  std::vector<Call> calls;

 private:
  ErrorHandler* previous_;
};
