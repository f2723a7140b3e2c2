#include "util/Registry.h"

#include "ui/framework/List.h"

Registry::Registry() {
  classId_ = kRegistry;
  fileName_[0] = '\0';
}

Registry::~Registry() = default;

void Registry::SetFileName(const char* fileName) {
  lstrcpynA(fileName_, fileName ? fileName : "", sizeof fileName_);
}
int Registry::SelectSection(const char*, bool) { return 19; }
int Registry::SaveSection() { return 16; }
List* Registry::ReadSection(const char*, const char*) { return nullptr; }
int Registry::WriteSection(List*, const char*, const char*) { return 5; }
int32_t Registry::FindKey(const char*) const { return -1; }
const char* Registry::GetValue(const char*) const { return nullptr; }
int Registry::SetValue(const char*, const char*) { return 16; }
int Registry::AddEntry(const char*, const char*) { return 16; }
POINT Registry::GetPoint(const char*, int32_t x, int32_t y) const { POINT p = {x, y}; return p; }
int Registry::SetPoint(const char*, int32_t, int32_t) { return 16; }
SettingEntry* Registry::EntryAt(int32_t) const { return nullptr; }
