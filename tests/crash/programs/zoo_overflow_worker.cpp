// A stack overflow in a worker: the worker ends, the program goes on.
// Its report walks the whole spent stack (a megabyte): emulated, seconds.
// expect exit: 0
// expect output: phase 1 source 13 class EStackOverflow continuable 1 thread worker
// expect output: action 11
// expect output: main goes on
// expect within: 60
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

volatile int g_limit = 0x7FFFFFFF;  // never reached: the stack ends first
__attribute__((noinline)) int Recurse(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  if (depth >= g_limit) return 0;
  return Recurse(depth + 1) + frame[0];
}
int main() {
  zoo::Watch();
  zoo::InThread([] { Recurse(0); });
  zoo::Say("main goes on");
}
