#include "util/Registry.h"

#include <windows.h>

Registry::Registry() {
  classId_ = kRegistry;
  fileName_[0] = '\0';
}

Registry::~Registry() = default;

void Registry::SetFileName(const char* fileName) {
  lstrcpynA(fileName_, fileName ? fileName : "", sizeof fileName_);
}
