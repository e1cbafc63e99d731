// The exception box against the system's own message box, in one process:
// the time from the call (an exception, or MessageBox) until the window is
// visible, seen by a thread that watches for it and then closes it.
//   box_bench <runs> [threads]   (a GUI program: console programs get no box);
//   threads: that many other threads wait meanwhile, each with a section
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "bench/reporter/bench_clock.h"
#include "ostrel/ostrel.h"

namespace {

struct Watch {
  const wchar_t* windowClass;
  std::atomic<double> seenAt{0};
};

// Polls for the window of the class; once visible, notes the time and
// closes it (Escape: the box's default rule continues).
DWORD WINAPI Watcher(void* parameter) {
  auto* watch = static_cast<Watch*>(parameter);
  for (int i = 0; i < 60000; ++i) {
    HWND window = FindWindowW(watch->windowClass, nullptr);
    if (window && IsWindowVisible(window)) {
      watch->seenAt = NowMs();
      PostMessageW(window, WM_CLOSE, 0, 0);
      if (wcscmp(watch->windowClass, L"#32770") == 0) PostMessageW(window, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(1);
  }
  return 0;
}

double Measure(const wchar_t* windowClass, void (*show)()) {
  Watch watch{windowClass};
  HANDLE thread = CreateThread(nullptr, 0, Watcher, &watch, 0, nullptr);
  const double t0 = NowMs();
  show();
  WaitForSingleObject(thread, 60000);
  CloseHandle(thread);
  // Let the window go before the next round.
  for (int i = 0; i < 200 && FindWindowW(windowClass, nullptr); ++i) Sleep(5);
  return watch.seenAt > 0 ? watch.seenAt - t0 : -1;
}

void SystemBox() {
  MessageBoxW(nullptr, L"An error occurred in the application.", L"box_bench", MB_OK);
}

void ExceptionBox() {
  try {
    throw std::runtime_error("measured");
  } catch (...) {
    ostrel::ReportException(true);
  }
}

DWORD WINAPI Waiter(void* release) {
  WaitForSingleObject(static_cast<HANDLE>(release), INFINITE);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const int threads = argc > 2 ? std::max(0, std::atoi(argv[2])) : 0;
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<HANDLE> waiting;
  for (int i = 0; i < threads; ++i)
    waiting.push_back(CreateThread(nullptr, 0, Waiter, release, 0, nullptr));
  std::vector<double> system, box;
  // The first of each warms the code and the display driver: not counted.
  Measure(L"#32770", SystemBox);
  Measure(L"OstrelWndClass", ExceptionBox);
  for (int i = 0; i < runs; ++i) {
    system.push_back(Measure(L"#32770", SystemBox));
    box.push_back(Measure(L"OstrelWndClass", ExceptionBox));
  }
  const double s = Median(system), b = Median(box);
  char line[256];
  std::snprintf(line, sizeof line,
                "%d other threads: exception to the box visible: %.1f ms; the system's message "
                "box: %.1f ms; %.2f times (goal: at most 1.5 times), median of %d\n",
                threads, b, s, s > 0 ? b / s : 0.0, runs);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(strlen(line)), &written,
            nullptr);
  SetEvent(release);
  for (HANDLE h : waiting) {
    WaitForSingleObject(h, 5000);
    CloseHandle(h);
  }
  return 0;
}
