// Ten threads raising at once: handled one at a time, all continuable. Each
// report is completed (every stack walked) beside the others: under a loaded
// emulator that takes its time.
// expect exit: 0
// expect count: 10 phase 1 source 13 class std::runtime_error continuable 1 thread worker
// expect count: 10 action 11
// expect output: all ended
// expect within: 60
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
#include <thread>
#include <vector>
int main() {
  zoo::Watch();
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < 10; ++i)
    threads.emplace_back([go] {
      WaitForSingleObject(go, INFINITE);
      throw std::runtime_error("one of ten");
    });
  SetEvent(go);
  for (auto& t : threads) t.join();
  zoo::Say("all ended");
}
