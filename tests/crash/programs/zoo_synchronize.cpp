// A call run on the main thread for a worker: an exception is reported there,
// an EAbort travels back.
// expect exit: 0
// expect output: phase 1 source 10 class std::runtime_error continuable 1 thread main
// expect output: worker after the call
// expect output: worker caught the abort
// expect output: main goes on
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
#include <thread>
int main() {
  zoo::Watch();
  std::thread worker([] {
    ostrel::Synchronize([] { throw std::runtime_error("on main"); });
    zoo::Say("worker after the call");
    try {
      ostrel::Synchronize([] { throw ostrel::EAbort(); });
    } catch (const ostrel::EAbort&) {
      zoo::Say("worker caught the abort");
    }
    PostThreadMessageW(ostrel::MainThreadId(), WM_QUIT, 0, 0);
  });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  worker.join();
  zoo::Say("main goes on");
}
