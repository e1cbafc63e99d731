// Restart: exit code 2; the new instance waits for the old one and knows its exception times.
// settings: restart
// expect exit: 2
// expect output: phase 1 source 13 class std::runtime_error continuable 0 thread main
// expect output: action 12
// expect file: zoo_restart.txt: restarted with 1 exception time
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
#include <fstream>
int main() {
  std::uint64_t times[10];
  ostrel::ExceptionTimes(times);
  if (times[0] != 0) {
    int n = 0;
    for (std::uint64_t t : times) n += t != 0;
    std::ofstream("zoo_restart.txt")
        << "restarted with " << n << " exception time" << (n == 1 ? "" : "s") << "\n";
    return 0;
  }
  DeleteFileW(L"zoo_restart.txt");
  zoo::Watch();
  throw std::runtime_error("restart me");
}
