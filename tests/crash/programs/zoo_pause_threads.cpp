// settings: pause
// symbols: embed
// With PauseThreads set, the program's threads that ask for messages wait
// while an exception is handled and go on afterwards; a thread that asks
// for none keeps running.
// expect exit: 0
// expect output: message loop paused 1
// expect output: busy worker ran on 1
// expect output: message loop goes on 1
#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

std::atomic<long> loops{0}, spins{0};
std::atomic<bool> done{false};
long loopsBefore = 0, loopsAfter = 0, spinsBefore = 0, spinsAfter = 0;

// Runs on the handler thread between the pause and the resume.
void Sample(ostrel::IExceptionReport*, bool&) {
  Sleep(200);  // a thread on its way into the pause check gets there
  loopsBefore = loops;
  spinsBefore = spins;
  Sleep(500);
  loopsAfter = loops;
  spinsAfter = spins;
}

}  // namespace

int main() {
  ostrel::RegisterExceptionHandler(Sample, ostrel::SyncMode::HandlerThread, 2);
  std::thread messages([] {
    MSG m;
    while (!done) {
      PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);
      ++loops;
      Sleep(1);
    }
  });
  std::thread busy([] {
    while (!done) {
      ++spins;
      Sleep(1);
    }
  });
  while (loops < 20) Sleep(10);
  try {
    throw std::runtime_error("pause them");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Say("message loop paused %d", loopsAfter == loopsBefore ? 1 : 0);
  zoo::Say("busy worker ran on %d", spinsAfter > spinsBefore ? 1 : 0);
  const long resumedAt = loops;
  Sleep(300);
  zoo::Say("message loop goes on %d", loops > resumedAt ? 1 : 0);
  done = true;
  messages.join();
  busy.join();
}
