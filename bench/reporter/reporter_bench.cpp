// Built twice: with the reporter (reporter_bench) and without (plain_bench).
//   <exe> startup <other-exe> <runs>  time from process creation to main, for
//                                     this program and for the other one
//   <exe> throw <count>               one throw and catch, in nanoseconds
//   <exe> report <count>              (with the reporter) from ReportException
//                                     to phase 1 on the handler thread, and to
//                                     the raising thread released
//   <exe> complete <threads> [deep]   (complete_bench) from ReportException to
//                                     the complete report text, with that many
//                                     other threads waiting (one of them
//                                     10,000 calls deep with "deep"), and the
//                                     memory it took
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

#include "bench/reporter/bench_clock.h"

#ifdef WITH_OSTREL
#include "ostrel/ostrel.h"
#endif

namespace {

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
// When each step of the handling was reached: phases 1 to 3 and the
// continue action, on the handler thread.
volatile double stepAt[4] = {};
bool keepClipboardCopy = true;
void OnPhaseOne(ostrel::IExceptionReport* report, bool&) {
  // Without the clipboard copy (on by default) nothing waits for the
  // complete report.
  if (!keepClipboardCopy) report->SetAutoClip(false);
  phaseOneAt = NowMs();
  stepAt[0] = phaseOneAt;
}
void OnPhase(ostrel::IExceptionReport* report, bool&) {
  const int phase = report->CurrentPhase();
  if (phase == 2 || phase == 3) stepAt[phase - 1] = NowMs();
}
void OnAction(ostrel::ReportAction action, ostrel::IExceptionReport*, bool&) {
  if (action == ostrel::kActionContinue) stepAt[3] = NowMs();
}

void Report(int count, bool clipboard) {
  keepClipboardCopy = clipboard;
  ostrel::RegisterExceptionHandler(OnPhaseOne, ostrel::SyncMode::HandlerThread, 1);
  ostrel::RegisterExceptionHandler(OnPhase, ostrel::SyncMode::HandlerThread, 2);
  ostrel::RegisterExceptionHandler(OnPhase, ostrel::SyncMode::HandlerThread, 3);
  ostrel::RegisterActionHandler(OnAction, ostrel::SyncMode::HandlerThread);
  std::vector<double> toPhaseOne, toReleased, steps[4];
  for (int i = 0; i < count; ++i) {
    phaseOneAt = 0;
    for (volatile double& at : stepAt) at = 0;
    const double t0 = NowMs();
    try {
      throw std::runtime_error("reported");
    } catch (...) {
      ostrel::ReportException(true);
    }
    const double t1 = NowMs();
    // Without the copy the completion goes on in the background: the next
    // exception waits until it is done, so as not to time the two together.
    if (!clipboard) Sleep(400);
    if (phaseOneAt > 0) toPhaseOne.push_back(phaseOneAt - t0);
    toReleased.push_back(t1 - t0);
    if (stepAt[0] > 0 && stepAt[1] > 0 && stepAt[2] > 0 && stepAt[3] > 0) {
      steps[0].push_back(stepAt[1] - stepAt[0]);
      steps[1].push_back(stepAt[2] - stepAt[1]);
      steps[2].push_back(stepAt[3] - stepAt[2]);
      steps[3].push_back(t1 - stepAt[3]);
    }
  }
  std::printf("exception to phase 1 on the handler thread: %.3f ms (median of %zu)\n",
              Median(toPhaseOne), toPhaseOne.size());
  if (!steps[0].empty()) {
    std::printf(
        "  phase 1 to 2 (screenshot, header and sections built, completion started): %.3f ms\n"
        "  phase 2 to 3: %.3f ms; phase 3 to continue: %.3f ms; continue to released: %.3f ms\n",
        Median(steps[0]), Median(steps[1]), Median(steps[2]), Median(steps[3]));
  }
  std::printf("exception to the raising thread released (show setting 4, %s): %.3f ms\n",
              clipboard ? "AutoClip: waits for the complete report" : "AutoClip off",
              Median(toReleased));
}

// Committed private memory, region by region: Wine leaves the process
// memory counters at zero.
std::size_t PrivateBytes() {
  std::size_t total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr;
       VirtualQuery(at, &region, sizeof region) == sizeof region && at <= at + region.RegionSize;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    if (region.RegionSize == 0) break;
  }
  return total;
}

volatile double completeAt = 0;
volatile std::size_t reportLength = 0;
void OnPhaseOneComplete(ostrel::IExceptionReport* report, bool&) {
  std::u16string text;
  report->FinishedReportText(text);
  completeAt = NowMs();
  reportLength = text.size();
  // PELMORA_BENCH_SHOW=1: the report, to see what was timed.
  if (GetEnvironmentVariableA("PELMORA_BENCH_SHOW", nullptr, 0) > 0 && completeAt > 0) {
    std::fwrite(text.data(), 2, text.size(), stderr);
    SetEnvironmentVariableA("PELMORA_BENCH_SHOW", nullptr);
  }
}

HANDLE g_release = nullptr;

__attribute__((noinline)) int Deep(int n) {
  if (n == 0) {
    WaitForSingleObject(g_release, INFINITE);
    return 0;
  }
  return Deep(n - 1) + 1;
}

DWORD WINAPI Waiter(void* recursing) {
  return static_cast<DWORD>(recursing ? Deep(10000) : WaitForSingleObject(g_release, INFINITE));
}

// Committed private regions: where the first report's memory went
// (PELMORA_BENCH_REGIONS=1 lists the new ones of 64 KB and more).
std::vector<std::pair<std::uintptr_t, std::size_t>> PrivateRegions() {
  std::vector<std::pair<std::uintptr_t, std::size_t>> regions;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr;
       VirtualQuery(at, &region, sizeof region) == sizeof region && at <= at + region.RegionSize;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
      regions.emplace_back(reinterpret_cast<std::uintptr_t>(region.BaseAddress), region.RegionSize);
    if (region.RegionSize == 0) break;
  }
  return regions;
}

void Complete(int threads, bool deep) {
  g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<HANDLE> started;
  for (int i = 0; i < threads; ++i) {
    const bool recursing = deep && i == 0;
    started.push_back(CreateThread(nullptr, recursing ? 4 << 20 : 0, Waiter,
                                   recursing ? reinterpret_cast<void*>(1) : nullptr,
                                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  }
  Sleep(500);  // every thread in its wait
  ostrel::RegisterExceptionHandler(OnPhaseOneComplete, ostrel::SyncMode::HandlerThread, 1);
  std::vector<double> times;
  std::size_t firstCost = 0, laterCost = 0;
  for (int round = 0; round < 4; ++round) {
    completeAt = 0;
    const std::size_t before = PrivateBytes();
    const auto regionsBefore = PrivateRegions();
    const double t0 = NowMs();
    try {
      throw std::runtime_error("reported");
    } catch (...) {
      ostrel::ReportException(true);
    }
    const std::size_t cost = PrivateBytes() - before;
    if (round == 0 && std::getenv("PELMORA_BENCH_REGIONS")) {
      for (const auto& [base, size] : PrivateRegions()) {
        std::size_t had = 0;
        for (const auto& [b, s] : regionsBefore) {
          if (b == base) had = s;
        }
        if (size >= had + (64 << 10)) {
          MEMORY_BASIC_INFORMATION info{};
          VirtualQuery(reinterpret_cast<void*>(base), &info, sizeof info);
          std::printf("  new private region %08x: +%zu KB (allocation %08x)\n",
                      static_cast<unsigned>(base), (size - had) / 1024,
                      static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(info.AllocationBase)));
        }
      }
    }
    (round == 0 ? firstCost : laterCost) = cost;
    if (completeAt > 0) times.push_back(completeAt - t0);
  }
  std::printf(
      "%d other threads%s: complete report %.0f ms the first time, %.0f ms later "
      "(median), %zu characters; private memory +%zu KB the first time, +%zu KB later\n",
      threads, deep ? " (one 10,000 calls deep)" : "", times.empty() ? -1.0 : times[0],
      times.size() > 1 ? Median(std::vector<double>(times.begin() + 1, times.end())) : -1.0,
      static_cast<std::size_t>(reportLength), firstCost / 1024, laterCost / 1024);
  SetEvent(g_release);
  for (HANDLE h : started) {
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
  }
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
  if (mode == "complete" && argc > 2) {
    Complete(std::atoi(argv[2]), argc > 3 && std::string(argv[3]) == "deep");
    return 0;
  }
  if (mode == "report" && argc > 2) {
    Report(std::atoi(argv[2]), true);
    Report(std::atoi(argv[2]), false);
    return 0;
  }
#endif
  std::fprintf(stderr, "usage: see the comment at the top of reporter_bench.cpp\n");
  return 2;
}
