// A buffer that ends right at an inaccessible page: any read or write past its end
// faults at once instead of passing unnoticed.
#pragma once
#include <windows.h>

#include <cstdint>

class GuardedBuffer {
 public:
  explicit GuardedBuffer(uint32_t size) : size_(size) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    page_ = info.dwPageSize;
    span_ = (size + page_ - 1) / page_ * page_;
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, span_ + page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    if (base_) VirtualProtect(base_ + span_, page_, PAGE_NOACCESS, &old);
  }
  ~GuardedBuffer() {
    if (base_) VirtualFree(base_, 0, MEM_RELEASE);
  }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  uint8_t* data() const { return base_ ? base_ + span_ - size_ : nullptr; }
  uint32_t size() const { return size_; }

 private:
  uint8_t* base_ = nullptr;
  uint32_t size_;
  uint32_t page_ = 4096;
  uint32_t span_ = 0;
};
