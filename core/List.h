// The class library's container: owned fixed-size records reached through an
// array of pointers that grows on demand.
#pragma once
#include <cstdint>

#include "core/Object.h"

constexpr int kListNameSize = 256;

class List : public Object {
 public:
  // An array of capacity empty slots for records of recordSize bytes; when grows is
  // set, a full list adds growthStep slots per Append. name may be null.
  List(int32_t capacity, int32_t recordSize, int32_t growthStep, bool grows, const char* name);
  // Deletes every record.
  ~List() override;
  List(const List&) = delete;
  List& operator=(const List&) = delete;

  // Deletes the record at index and closes the gap. 0, or 13 for an index outside the list.
  virtual int RemoveAt(int32_t index);
  // The record at index, or null outside 0 .. Count() - 1.
  virtual void* GetAt(int32_t index) const;

  // Stores a copy of recordSize bytes of record after the last one. 0, or 13 when
  // the list is full and may not (or cannot) grow, or the record cannot be allocated.
  int Append(const void* record);
  // Deletes every record; the capacity stays.
  void Clear();

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  int32_t RecordSize() const { return recordSize_; }
  bool Grows() const { return grows_; }
  const char* Name() const { return name_; }
  void SetName(const char* name);

 private:
  int32_t capacity_ = 0;
  uint8_t** array_ = nullptr;
  int32_t recordSize_;
  int32_t count_ = 0;
  bool grows_;
  int32_t growthStep_;
  char name_[kListNameSize];
};
