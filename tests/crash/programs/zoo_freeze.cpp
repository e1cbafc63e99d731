// A main thread blocked for good is reported after the timeout, and again after 1.5 times as long.
// settings: freeze
// expect exit: 0
// expect count: 2 phase 1 source 1 class EFrozen continuable 1 thread main
// expect output: main woke up
#include <windows.h>

#include "zoo_support.h"
#include "crash/core/handling/ostrel.h"

int main() {
  zoo::Watch();
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  Sleep(3200);  // probes every 100 ms: reports at about 1 s and 2.5 s
  zoo::Say("main woke up");
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}
