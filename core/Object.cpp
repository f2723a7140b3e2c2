#include "core/Object.h"

#include <windows.h>

namespace {
// Indexed by class id; id 0 is never used.
const char kTypeNames[kClassIdCount][kTypeNameSize] = {
    "",
    "[abstract]",
    "Resource",
    "Plugin",
    "Multimedia File",
    "List",
    "Queue",
    "Registry",
    "[windowed]",
    "Window",
    "Dialog",
    "User Interface",
    "Control",
    "Wave Device",
    "Wave Output",
    "Wave Input",
    "Stereo Mixer",
    "Waveformat Converter",
    "Shared Buffer",
    "[graphics]",
    "DirectX Object",
    "DirectDraw",
    "DirectSound",
    "Audio Manager",
    "Audio Decoder",
    "Audio File",
    "Decoder Manager",
    "HTTP Socket",
    "Application Update",
};

ErrorHandler* g_errorHandler = nullptr;
}  // namespace

const char* TypeNameOf(int32_t classId) {
  if (classId <= 0 || classId >= kClassIdCount) return "";
  return kTypeNames[classId];
}

void SetErrorHandler(ErrorHandler* handler) { g_errorHandler = handler; }
ErrorHandler* GetErrorHandler() { return g_errorHandler; }

Object::Object() : classId_(kAbstract) {}

void Object::ReportError(int code) {
  lastError_ = code;
  if (quiet_) return;
  ErrorHandler* handler = g_errorHandler;
  if (!handler) return;
  if (code >= 100) {
    handler->ShowError(code, errorText_);
    return;
  }
  char name[kReportNameSize];
  name[0] = '\0';
  GetTypeName(name, sizeof name);
  handler->ShowError(code, name);
}

int32_t Object::GetTypeName(char* text, int size) {
  if (text && size > 0) lstrcpynA(text, TypeNameOf(classId_), size < kTypeNameSize ? size : kTypeNameSize);
  return classId_;
}
