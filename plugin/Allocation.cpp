// The plug-in library's own allocation functions, over malloc and free.
// The C++ run-time's versions would link its exception support, whose
// emergency buffer (about 73 KB) is allocated every time the host loads the
// library and never freed when it unloads it. The plug-in allocates with
// new (std::nothrow) and tests the result; a plain new that fails ends the
// process, as an exception that nobody catches would.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }

void* operator new(std::size_t size) {
  void* p = malloc(size ? size : 1);
  if (!p) abort();
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }

void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, std::size_t) noexcept { free(p); }
void operator delete[](void* p, std::size_t) noexcept { free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }
