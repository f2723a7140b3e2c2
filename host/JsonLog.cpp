#include "host/JsonLog.h"

namespace hostkit {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char ch : text) {
    switch (ch) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (ch < 0x20) {
          char escaped[8];
          snprintf(escaped, sizeof escaped, "\\u%04x", ch);
          out += escaped;
        } else if (ch < 0x80) {
          out += (char)ch;
        } else {
          out += (char)(0xC0 | (ch >> 6));
          out += (char)(0x80 | (ch & 0x3F));
        }
    }
  }
  return out + "\"";
}

void JsonObject::Key(const char* key) {
  if (!body_.empty()) body_ += ",";
  body_ += JsonString(key) + ":";
}

JsonObject& JsonObject::Add(const char* key, long long value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::Add(const char* key, const std::string& value) {
  Key(key);
  body_ += JsonString(value);
  return *this;
}

JsonObject& JsonObject::Add(const char* key, const char* value) { return Add(key, std::string(value ? value : "")); }

JsonObject& JsonObject::AddBool(const char* key, bool value) {
  Key(key);
  body_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::Merge(const JsonObject& other) {
  if (!body_.empty() && !other.body_.empty()) body_ += ",";
  body_ += other.body_;
  return *this;
}

JsonLog::JsonLog() { InitializeCriticalSection(&lock_); }

JsonLog::~JsonLog() {
  Close();
  DeleteCriticalSection(&lock_);
}

bool JsonLog::Open(const std::string& path) {
  Close();
  FILE* file = fopen(path.c_str(), "wb");
  EnterCriticalSection(&lock_);
  file_ = file;
  LeaveCriticalSection(&lock_);
  return file != nullptr;
}

void JsonLog::Close() {
  EnterCriticalSection(&lock_);
  if (file_) fclose(file_);
  file_ = nullptr;
  LeaveCriticalSection(&lock_);
}

void JsonLog::Append(const JsonObject& object) {
  std::string line = object.Text() + "\n";
  EnterCriticalSection(&lock_);
  if (file_) {
    fwrite(line.data(), 1, line.size(), file_);
    fflush(file_);
  }
  LeaveCriticalSection(&lock_);
}

}  // namespace hostkit
