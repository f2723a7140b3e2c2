// A growable array that owns its elements through std::unique_ptr. It grows
// with new (std::nothrow), so a failed allocation is an answer, not an exception.
#pragma once
#include <memory>
#include <new>
#include <utility>

template <class T>
class OwnedArray {
 public:
  OwnedArray() = default;
  ~OwnedArray() { Clear(); }
  OwnedArray(const OwnedArray&) = delete;
  OwnedArray& operator=(const OwnedArray&) = delete;

  int Count() const { return count_; }
  // The element at index, or null outside the array.
  T* At(int index) const { return index >= 0 && index < count_ ? slots_[index].get() : nullptr; }

  // Appends item and owns it. False for a null item or when the array cannot
  // grow; the item is deleted then too.
  bool Append(std::unique_ptr<T> item) {
    if (!item) return false;
    if (count_ == capacity_ && !Grow()) return false;
    slots_[count_++] = std::move(item);
    return true;
  }

  // Deletes the elements in the order they were appended, then the slots.
  void Clear() {
    for (int i = 0; i < count_; ++i) slots_[i].reset();
    slots_.reset();
    count_ = capacity_ = 0;
  }

 private:
  bool Grow() {
    const int capacity = capacity_ ? 2 * capacity_ : 16;
    std::unique_ptr<std::unique_ptr<T>[]> grown(new (std::nothrow) std::unique_ptr<T>[capacity]);
    if (!grown) return false;
    for (int i = 0; i < count_; ++i) grown[i] = std::move(slots_[i]);
    slots_ = std::move(grown);
    capacity_ = capacity;
    return true;
  }

  std::unique_ptr<std::unique_ptr<T>[]> slots_;
  int count_ = 0;
  int capacity_ = 0;
};
