// archprobe BITS - exits 0 when this program runs as a BITS-bit Windows process.
// The test runs start with it, so that a machine that cannot run the shipped
// 32-bit build says so in one line instead of failing every test on its own.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const int bits = static_cast<int>(sizeof(void*) * 8);
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64)) wow64 = FALSE;
  std::printf("pointer bits %d, WoW64 %s\n", bits, wow64 ? "yes" : "no");
  if (argc > 1 && std::atoi(argv[1]) != bits) {
    std::printf("expected a %s-bit process\n", argv[1]);
    return 1;
  }
  // A 32-bit program on a 64-bit system runs under WoW64; anything else means the
  // 32-bit code ran somewhere it was not meant to.
  if (bits == 32 && !wow64) {
    std::printf("a 32-bit process outside WoW64\n");
    return 1;
  }
  return 0;
}
