// The plug-in's allocation functions for a test build of the library: a freed
// block is filled with a pattern and held back (quarantined) instead of being
// given back at once, and the pattern is checked when the block finally goes and
// when the library unloads. A write into freed memory is printed on stderr as a
// line starting "quarantine:", so that a host run under test shows it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
constexpr size_t kHeader = 16;            // the block's size, in front of what the caller gets
constexpr unsigned char kFreed = 0xDD;
constexpr size_t kHeld = 8192;            // freed blocks held back at most
constexpr size_t kHeldBytes = 64u << 20;  // and bytes

SRWLOCK g_lock = SRWLOCK_INIT;
unsigned char* g_ring[kHeld];
size_t g_first = 0, g_count = 0, g_bytes = 0;

size_t SizeOf(unsigned char* block) {
  size_t size;
  memcpy(&size, block, sizeof size);
  return size;
}

void Check(unsigned char* block) {
  const size_t size = SizeOf(block);
  for (size_t i = 0; i < size; ++i) {
    if (block[kHeader + i] == kFreed) continue;
    fprintf(stderr, "quarantine: a freed block of %zu bytes was written at offset %zu\n", size, i);
    fflush(stderr);
    return;
  }
}

void* Allocate(size_t size) {
  unsigned char* block = static_cast<unsigned char*>(malloc(kHeader + (size ? size : 1)));
  if (!block) return nullptr;
  memcpy(block, &size, sizeof size);
  return block + kHeader;
}

void Release(void* p) {
  if (!p) return;
  unsigned char* block = static_cast<unsigned char*>(p) - kHeader;
  const size_t size = SizeOf(block);
  memset(block + kHeader, kFreed, size);
  AcquireSRWLockExclusive(&g_lock);
  while (g_count > 0 && (g_count == kHeld || g_bytes + size > kHeldBytes)) {
    unsigned char* oldest = g_ring[g_first];
    g_first = (g_first + 1) % kHeld;
    --g_count;
    g_bytes -= SizeOf(oldest);
    Check(oldest);
    free(oldest);
  }
  g_ring[(g_first + g_count) % kHeld] = block;
  ++g_count;
  g_bytes += size;
  ReleaseSRWLockExclusive(&g_lock);
}

// At unload: every block still held is checked.
struct FinalCheck {
  ~FinalCheck() {
    AcquireSRWLockExclusive(&g_lock);
    for (size_t i = 0; i < g_count; ++i) Check(g_ring[(g_first + i) % kHeld]);
    ReleaseSRWLockExclusive(&g_lock);
  }
} g_finalCheck;
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size) {
  void* p = Allocate(size);
  if (!p) abort();
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
