// The host's session logs: one flat JSON object per line, appended from any
// thread and flushed at once, so a log is complete up to the moment it is read.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

namespace hostkit {

// A JSON string literal for text; bytes above 127 are read as Latin-1, the
// plug-in's ANSI texts, so the result is always valid UTF-8.
std::string JsonString(const std::string& text);

// Builds one flat JSON object, keys in the order they are added.
class JsonObject {
 public:
  JsonObject& Add(const char* key, long long value);
  JsonObject& Add(const char* key, int value) { return Add(key, (long long)value); }
  JsonObject& Add(const char* key, unsigned value) { return Add(key, (long long)value); }
  JsonObject& Add(const char* key, long value) { return Add(key, (long long)value); }
  JsonObject& Add(const char* key, unsigned long value) { return Add(key, (long long)value); }
  JsonObject& Add(const char* key, const std::string& value);
  JsonObject& Add(const char* key, const char* value);
  JsonObject& AddBool(const char* key, bool value);
  // Appends other's fields after this object's.
  JsonObject& Merge(const JsonObject& other);
  std::string Text() const { return "{" + body_ + "}"; }

 private:
  void Key(const char* key);
  std::string body_;
};

class JsonLog {
 public:
  JsonLog();
  ~JsonLog();
  JsonLog(const JsonLog&) = delete;
  JsonLog& operator=(const JsonLog&) = delete;

  // Creates (or empties) the log file; false when it cannot be written.
  bool Open(const std::string& path);
  void Close();
  // Appends one line; nothing when the log is not open.
  void Append(const JsonObject& object);

 private:
  CRITICAL_SECTION lock_;
  FILE* file_ = nullptr;
};

}  // namespace hostkit
