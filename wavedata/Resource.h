// A named resource that can be opened and closed: the base of the file classes.
// Subclasses implement OpenResource/CloseResource; Open/Close keep the flag and name.
#pragma once
#include <cstdint>

#include "core/Object.h"

// Room for every path the platform accepts (MAX_PATH, 259 characters and the zero).
constexpr int kResourceNameSize = 260;

class Resource : public Object {
 public:
  Resource();
  ~Resource() override;
  Resource(const Resource&) = delete;
  Resource& operator=(const Resource&) = delete;

  // The open resource's file name without directories, else the class's type name.
  int32_t GetTypeName(char* text, int size = kTypeNameSize) override;
  // Opens the named resource; the bare resource only reports success.
  virtual bool OpenResource(const char* name, uint32_t mode);
  // Closes the resource; the bare resource only reports success.
  virtual bool CloseResource();

  // Closes an open resource first (its code is returned on failure); 0, 1 (reported
  // under the file's name), or 105 for a name longer than the system opens (reported
  // with a text naming the file and its length).
  int Open(const char* name, uint32_t mode);
  // 0, or 2 when the resource refused to close (it then stays open). Nothing when closed.
  int Close();

  bool IsOpen() const { return open_; }
  // The name given to Open; empty while closed.
  const char* Name() const { return name_; }

 protected:
  bool open_ = false;
  char name_[kResourceNameSize];

 private:
  const char* failedName_ = nullptr;  // the name whose open is being reported
  char refusal_[kResourceNameSize + 96];
};
