// A worker whose exception was handled ends with exit code 0, whichever way
// the exception left it: a C++ exception nobody caught, or a processor
// exception no handler took.
// expect exit: 0
// expect output: phase 1 source 13 class std::runtime_error continuable 1 thread worker
// expect output: thrown: worker exit code 0
// expect output: divided: worker exit code 0
// emulated: qemu's user-mode emulator hands Wine an integer division fault as a
// floating-point one
// emulated expect exit: 0
// emulated expect output: phase 1 source 13 class std::runtime_error continuable 1 thread worker
// emulated expect output: thrown: worker exit code 0
// emulated expect output: phase 1 source 13 class EInvalidOp continuable 1 thread worker
// emulated expect output: divided: worker exit code 0
#include <windows.h>

#include <stdexcept>

#include "ostrel/ostrel.h"
#include "tests/crash/zoo_support.h"

namespace {

DWORD WINAPI Throw(void*) { throw std::runtime_error("worker boom"); }

DWORD WINAPI Divide(void*) {
  volatile int zero = 0;
  volatile int x = 7 / zero;
  return static_cast<DWORD>(x);
}

void Run(LPTHREAD_START_ROUTINE work, const char* label) {
  HANDLE thread = CreateThread(nullptr, 0, work, nullptr, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  zoo::Say("%s: worker exit code %lu", label, code);
}

}  // namespace

int main() {
  zoo::Watch();
  Run(Throw, "thrown");
  Run(Divide, "divided");
}
