// settings: windowslogo
// An access violation in a worker, with WindowsLogo set: handed to the
// system's fault reporting, it can no longer continue and the program
// closes. Raised in software, so that an emulator delivers it unchanged.
// expect exit: 1
// expect output: phase 1 source 13 class EAccessViolation continuable 0 thread worker
// expect output: action 13
// expect not: main goes on
#include <windows.h>

#include <thread>

#include "tests/crash/zoo_support.h"

int main() {
  zoo::Watch();
  std::thread worker([] {
    const ULONG_PTR info[2] = {1, 0x10};  // a write of address 10
    RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 2, info);
  });
  worker.join();
  zoo::Say("main goes on");
}
