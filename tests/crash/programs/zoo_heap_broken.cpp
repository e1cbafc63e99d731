// The heap is broken when the crash comes: the report still gets through.
// expect exit: 1
// expect output: phase 1 source 13 class EAccessViolation continuable 0 thread main
// expect output: action 13
// emulated: qemu's user-mode emulator hands Wine a memory fault without its trap
// number, which Wine takes for an illegal instruction
// emulated expect exit: 1
// emulated expect output: phase 1 source 14 class EOstrelError continuable 0 thread main
// emulated expect output: action 13
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <cstdlib>
#include <cstring>
int main() {
  zoo::Watch();
  char* block = static_cast<char*>(std::malloc(64));
  std::memset(block - 16, 0x5A, 16);  // the block's header
  *static_cast<volatile int*>(nullptr) = 1;
}
