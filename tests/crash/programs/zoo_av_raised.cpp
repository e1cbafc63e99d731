// An access violation as the system raises it (its code and the address
// read): the class and the text the run-time gives it, on every route.
// expect exit: 0
// expect output: phase 1 source 13 class EAccessViolation continuable 1 thread worker
// expect output: Read of address 00001234.
// expect output: main goes on
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  zoo::InThread([] {
    const ULONG_PTR info[2] = {0, 0x1234};
    RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 2, info);
  });
  zoo::Say("main goes on");
}
