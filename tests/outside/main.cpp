// Linked with the installed reporter: an exception nobody catches is
// reported and the program closes with exit code 1.
#include <cstdio>
#include <stdexcept>

#include "ostrel/ostrel.h"

int main() {
  std::printf("outside: reporter main thread %s\n", ostrel::MainThreadId() ? "known" : "unknown");
  std::fflush(stdout);
  throw std::runtime_error("outside");
}
