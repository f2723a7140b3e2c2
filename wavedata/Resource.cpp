#include "wavedata/Resource.h"

Resource::Resource() { classId_ = kResource; name_[0] = '\0'; }
Resource::~Resource() = default;
int32_t Resource::GetTypeName(char* text, int size) { return Object::GetTypeName(text, size); }
bool Resource::OpenResource(const char*, uint32_t) { return true; }
bool Resource::CloseResource() { return true; }
int Resource::Open(const char*, uint32_t) { return 1; }
int Resource::Close() { return 0; }
