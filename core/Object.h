// Root of the class library: class id with a readable type name, last error,
// error text and the quiet flag, and the common failure path ReportError.
#pragma once
#include <cstdint>

enum ClassId : int32_t {
  kAbstract = 1,
  kResource = 2,
  kPlugin = 3,
  kMultimediaFile = 4,
  kList = 5,
  kQueue = 6,
  kRegistry = 7,
  kWindowed = 8,
  kWindow = 9,
  kDialog = 10,
  kUserInterface = 11,
  kControl = 12,
  kWaveDevice = 13,
  kWaveOutput = 14,
  kWaveInput = 15,
  kStereoMixer = 16,
  kWaveformatConverter = 17,
  kSharedBuffer = 18,
  kGraphics = 19,
  kDirectXObject = 20,
  kDirectDraw = 21,
  kDirectSound = 22,
  kAudioManager = 23,
  kAudioDecoder = 24,
  kAudioFile = 25,
  kDecoderManager = 26,
  kHttpSocket = 27,
  kApplicationUpdate = 28,
  kClassIdCount = 29
};

constexpr int kTypeNameSize = 32;
constexpr int kReportNameSize = 128;

// Type name of a class id; "" for an id outside the table.
const char* TypeNameOf(int32_t classId);

// Whoever displays errors for the process (the plug-in object). Registered once.
class ErrorHandler {
 public:
  virtual void ShowError(int code, const char* text) = 0;
  virtual void ShowHelp(intptr_t a, intptr_t b) {}
 protected:
  ~ErrorHandler() = default;
};

void SetErrorHandler(ErrorHandler* handler);
ErrorHandler* GetErrorHandler();

class Object {
 public:
  Object();
  virtual ~Object() = default;

  // Records the code and, unless quiet, shows it through the process's error handler:
  // codes of 100 and more with the error text, lower codes with the type name.
  virtual void ReportError(int code);
  // Copies the type name into text (size bytes, at least 32) when text is not null;
  // returns the class id. Overrides never write more than size bytes.
  virtual int32_t GetTypeName(char* text, int size = kTypeNameSize);

  int LastError() const { return lastError_; }
  void SetLastError(int code) { lastError_ = code; }
  bool Quiet() const { return quiet_; }
  void SetQuiet(bool quiet) { quiet_ = quiet; }
  const char* ErrorText() const { return errorText_; }
  void SetErrorText(const char* text) { errorText_ = text; }

  // The common failure path: report the code, then return the last error.
  int Fail(int code) {
    ReportError(code);
    return lastError_;
  }

 protected:
  int32_t classId_;
  int32_t lastError_ = 0;
  const char* errorText_ = nullptr;
  bool quiet_ = false;
};
