// A library whose initialisation raises while the loader lock is held: handled
// on the raising thread, no dead-lock.
// expect exit: 1
// expect output: phase 1 source 12 class std::runtime_error continuable 0 thread main
// expect within: 30
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  zoo::Say("loading");
  LoadLibraryW(L"zoo_init_library.dll");
  zoo::Say("loaded");
}
