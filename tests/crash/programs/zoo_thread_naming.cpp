// A thread named through the debugger's naming exception is listed under that
// name.
// expect exit: 0
// expect output: phase 1 source 13 class std::runtime_error continuable 1 thread worker
// expect output: message named. name zoo worker
// expect output: main goes on
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
int main() {
  zoo::Watch();
  zoo::InThread([] {
    const ULONG_PTR info[4] = {0x1000, reinterpret_cast<ULONG_PTR>("zoo worker"), 0xFFFFFFFF, 0};
    RaiseException(0x406D1388, 0, 4, info);
    throw std::runtime_error("named");
  });
  zoo::Say("main goes on");
}
