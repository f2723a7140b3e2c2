#include "core/List.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "core/ErrorCodes.h"

List::List(int32_t capacity, int32_t recordSize, int32_t growthStep, bool grows, const char* name)
    : recordSize_(recordSize > 0 ? recordSize : 0), grows_(grows), growthStep_(growthStep > 0 ? growthStep : 1) {
  classId_ = kList;
  SetName(name);
  if (capacity > 0) {
    array_ = new (std::nothrow) uint8_t*[capacity];
    // Without an array the list is full from the start; a growing list may still grow.
    if (array_) {
      capacity_ = capacity;
      for (int32_t i = 0; i < capacity_; ++i) array_[i] = nullptr;
    }
  }
}

List::~List() {
  Clear();
  delete[] array_;
}

void List::SetName(const char* name) { lstrcpynA(name_, name ? name : "", sizeof name_); }

// The list keeps its own copy: callers may pass a record on their stack.
int List::Append(const void* record) {
  if (grows_ && count_ >= capacity_ && capacity_ <= INT32_MAX - growthStep_) {
    int32_t larger = capacity_ + growthStep_;
    uint8_t** array = new (std::nothrow) uint8_t*[larger];
    if (array) {
      for (int32_t i = 0; i < larger; ++i) array[i] = i < count_ ? array_[i] : nullptr;
      delete[] array_;
      array_ = array;
      capacity_ = larger;
    }
  }
  if (count_ >= capacity_ || !record) return Fail(Error::IndexRange);
  uint8_t* copy = new (std::nothrow) uint8_t[recordSize_ > 0 ? recordSize_ : 1];
  if (!copy) return Fail(Error::IndexRange);
  memcpy(copy, record, recordSize_);
  array_[count_++] = copy;
  lastError_ = 0;
  return 0;
}

// Later records move down by one, so indexes stay dense.
int List::RemoveAt(int32_t index) {
  if (index < 0 || index >= count_) return Fail(Error::IndexRange);
  delete[] array_[index];
  for (int32_t i = index; i + 1 < count_; ++i) array_[i] = array_[i + 1];
  array_[--count_] = nullptr;
  lastError_ = 0;
  return 0;
}

// The record in place; null outside the list, without a report (callers probe with it).
void* List::GetAt(int32_t index) const {
  if (index < 0 || index >= count_) return nullptr;
  return array_[index];
}

// Frees every record; the list itself stays usable.
void List::Clear() {
  for (int32_t i = 0; i < count_; ++i) {
    delete[] array_[i];
    array_[i] = nullptr;
  }
  count_ = 0;
}
