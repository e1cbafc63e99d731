// A stack overflow in the main thread: handled from another thread, closes.
// Its report walks the whole spent stack (a megabyte): emulated, seconds.
// expect exit: 1
// expect output: phase 1 source 13 class EStackOverflow continuable 0 thread main
// expect output: message Stack overflow.
// expect output: action 13
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
  return Recurse(0);
}
