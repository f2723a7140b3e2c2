// Stands in for the process's error handler during a test: records error
// reports and help requests instead of showing them, and puts the previous
// handler back at the end of its scope. Reports may come from several threads;
// read the fields once they are done. Needs only sondrel_core.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/Object.h"

namespace testkit {

class ErrorRecorder : public ErrorHandler {
 public:
  ErrorRecorder() : previous_(GetErrorHandler()) { SetErrorHandler(this); }
  ~ErrorRecorder() { SetErrorHandler(previous_); }
  ErrorRecorder(const ErrorRecorder&) = delete;
  ErrorRecorder& operator=(const ErrorRecorder&) = delete;

  void ShowError(int code, const char* text) override {
    std::lock_guard<std::mutex> hold(lock_);
    codes.push_back(code);
    texts.push_back(text ? text : "");
  }
  void ShowHelp(intptr_t a, intptr_t b) override {
    std::lock_guard<std::mutex> hold(lock_);
    help.push_back({a, b});
  }
  void Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    codes.clear();
    texts.clear();
    help.clear();
  }

  std::vector<int> codes;
  std::vector<std::string> texts;
  std::vector<std::pair<intptr_t, intptr_t>> help;

 private:
  ErrorHandler* previous_;
  std::mutex lock_;
};

}  // namespace testkit
