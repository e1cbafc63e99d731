// Out of memory: the reserve is given back so that handling has room.
// expect exit: 1
// expect output: phase 1 source 13 class std::bad_alloc continuable 0 thread main
// expect output: action 13
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <vector>
int main() {
  zoo::Watch();
  std::vector<void*> blocks;
  for (;;) blocks.push_back(new char[16 << 20]);
}
