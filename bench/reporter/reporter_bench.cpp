// Built twice: with the reporter (reporter_bench) and without (plain_bench).
//   <exe> startup <other-exe> <runs>  time from process creation to main, for
//                                     this program and for the other one
//   <exe> throw <count>               one throw and catch, in nanoseconds
//   <exe> report <count>              (with the reporter) from ReportException
//                                     to phase 1 on the handler thread, and to
//                                     the raising thread released
//   <exe> ping [window]               signals the start-up event and ends;
//                                     with "window" after making a message
//                                     window, as any GUI program does
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef WITH_OSTREL
#include "crash/core/handling/ostrel.h"
#endif

namespace {

double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

constexpr wchar_t kStarted[] = L"OstrelBenchStarted";

// Process creation to the child's main, median of runs.
double StartupMs(const std::wstring& exe, int runs, const wchar_t* how = L"") {
  std::vector<double> times;
  HANDLE started = CreateEventW(nullptr, FALSE, FALSE, kStarted);
  for (int i = 0; i < runs; ++i) {
    std::wstring command = L"\"" + exe + L"\" ping " + how;
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    const double t0 = NowMs();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
      break;
    }
    if (WaitForSingleObject(started, 60000) == WAIT_OBJECT_0) times.push_back(NowMs() - t0);
    WaitForSingleObject(pi.hProcess, 60000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(started);
  return Median(times);
}

__attribute__((noinline)) void Thrower(int i) {
  if (i >= 0) throw std::runtime_error("bench");
}

double ThrowNs(int count) {
  // The fastest of several rounds: the emulator's translation and other
  // load only ever add time.
  std::vector<double> rounds;
  for (int round = 0; round < 9; ++round) {
    const double t0 = NowMs();
    for (int i = 0; i < count; ++i) {
      try {
        Thrower(i);
      } catch (const std::exception&) {
      }
    }
    rounds.push_back((NowMs() - t0) * 1e6 / count);
  }
  return *std::min_element(rounds.begin(), rounds.end());
}

#ifdef WITH_OSTREL
volatile double phaseOneAt = 0;
void OnPhaseOne(ostrel::IExceptionReport*, bool&) { phaseOneAt = NowMs(); }

void Report(int count) {
  ostrel::RegisterExceptionHandler(OnPhaseOne, ostrel::SyncMode::HandlerThread, 1);
  std::vector<double> toPhaseOne, toReleased;
  for (int i = 0; i < count; ++i) {
    phaseOneAt = 0;
    const double t0 = NowMs();
    try {
      throw std::runtime_error("reported");
    } catch (...) {
      ostrel::ReportException(true);
    }
    const double t1 = NowMs();
    if (phaseOneAt > 0) toPhaseOne.push_back(phaseOneAt - t0);
    toReleased.push_back(t1 - t0);
  }
  std::printf("exception to phase 1 on the handler thread: %.3f ms (median of %zu)\n",
              Median(toPhaseOne), toPhaseOne.size());
  std::printf("exception to the raising thread released (show setting 4): %.3f ms\n",
              Median(toReleased));
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "ping") {
    if (argc > 2 && std::string(argv[2]) == "window") {
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    if (HANDLE e = OpenEventW(EVENT_MODIFY_STATE, FALSE, kStarted)) SetEvent(e);
    return 0;
  }
  if (mode == "startup" && argc > 3) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::string other = argv[2];
    const int runs = std::atoi(argv[3]);
    const double mine = StartupMs(self, runs);
    const double windowed = StartupMs(self, runs, L"window");
    const double theirs = StartupMs(std::wstring(other.begin(), other.end()), runs);
    std::printf(
        "process start to main: this program %.2f ms, with a window %.2f ms, %s %.2f ms (median "
        "of %d)\n",
        mine, windowed, other.c_str(), theirs, runs);
    return 0;
  }
  if (mode == "throw" && argc > 2) {
    std::printf("throw and catch: %.0f ns\n", ThrowNs(std::atoi(argv[2])));
    return 0;
  }
#ifdef WITH_OSTREL
  if (mode == "report" && argc > 2) {
    Report(std::atoi(argv[2]));
    return 0;
  }
#endif
  std::fprintf(stderr, "usage: see the comment at the top of reporter_bench.cpp\n");
  return 2;
}
