#include "ui/framework/List.h"

List::List(int32_t capacity, int32_t recordSize, int32_t growthStep, bool grows, const char* name)
    : recordSize_(recordSize), grows_(grows), growthStep_(growthStep) { name_[0] = '\0'; }
List::~List() = default;
int List::RemoveAt(int32_t) { return 13; }
void* List::GetAt(int32_t) const { return nullptr; }
int List::Append(const void*) { return 13; }
void List::Clear() {}
void List::SetName(const char*) {}
