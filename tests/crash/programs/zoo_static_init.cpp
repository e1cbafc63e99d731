// An exception escaping a static object's constructor, before main.
// expect exit: 1
// expect output: phase 1 source 13 class std::runtime_error continuable 0 thread main
// expect output: message static boom.
// expect not: in main
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
struct Watcher {
  Watcher() { zoo::Watch(); }
} watcher;
struct Bad {
  Bad() { throw std::runtime_error("static boom"); }
} bad;
int main() { zoo::Say("in main"); }
