// Settings store over one ini file's profile sections.
#pragma once
#include "plugin/Object.h"

class Registry : public Object {
 public:
  Registry();
  ~Registry() override;

  // Names the ini file; a bare name lives in the Windows directory.
  void SetFileName(const char* fileName);
  const char* FileName() const { return fileName_; }

 private:
  char fileName_[256];
};
