// The benchmarks' counting allocator: linked into a benchmark, every operator new of
// the program passes here, so a benchmark can show that a path allocates nothing.
#include <windows.h>

#include <cstdlib>
#include <new>

#include "bench/BenchKit.h"

namespace {
volatile DWORD g_countedThread = benchkit::kEveryThread;
volatile LONG g_allocations = 0;

void* Allocate(size_t size) {
  const DWORD counted = g_countedThread;
  if (counted == benchkit::kEveryThread || (counted != 0 && GetCurrentThreadId() == counted))
    InterlockedIncrement(&g_allocations);
  return malloc(size ? size : 1);
}
}  // namespace

void* operator new(size_t size) {
  void* p = Allocate(size);
  if (!p) abort();
  return p;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }

namespace benchkit {
LONG Allocations() { return g_allocations; }
void CountAllocationsOn(DWORD thread) { g_countedThread = thread; }
}  // namespace benchkit
