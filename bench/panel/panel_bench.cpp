// Measures, against the GoldMine stand-in: the time from a record switch in
// GoldMine to Pelmora showing the new contact, the DDE request round trip,
// Pelmora's CPU use while idle, and its private memory.
#include <windows.h>
#include <ddeml.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/win/control_ids.h"
#include "support/goldmine_sim.h"
#include "support/gui_driver.h"

namespace {

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const std::size_t i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v[i];
}

double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

HDDEDATA CALLBACK NoCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

std::vector<double> DdeRoundTrips(int count) {
  std::vector<double> times;
  DWORD inst = 0;
  if (DdeInitializeA(&inst, NoCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return times;
  HSZ service = DdeCreateStringHandleA(inst, "GoldMine", CP_WINANSI);
  HSZ topic = DdeCreateStringHandleA(inst, "Data", CP_WINANSI);
  HSZ item = DdeCreateStringHandleA(inst, "&BrowseRecNo", CP_WINANSI);
  HCONV conv = DdeConnect(inst, service, topic, nullptr);
  for (int i = 0; conv && i < count; ++i) {
    const double t0 = NowMs();
    DWORD result = 0;
    HDDEDATA data =
        DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_REQUEST, 10000, &result);
    times.push_back(NowMs() - t0);
    if (data) DdeFreeDataHandle(data);
  }
  if (conv) DdeDisconnect(conv);
  DdeUninitialize(inst);
  return times;
}

double CpuSeconds(HANDLE process) {
  FILETIME c, e, k, u;
  GetProcessTimes(process, &c, &e, &k, &u);
  auto s = [](FILETIME f) {
    return static_cast<double>((static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime) /
           1e7;
  };
  return s(k) + s(u);
}

}  // namespace

int wmain() {
  const std::wstring data = e2e::ExeFolder() + L"bench-goldmine\\";
  e2e::GoldMineSim sim;
  if (!sim.Start(data, L"--demo")) {
    std::fprintf(stderr, "gmw.exe did not start\n");
    return 1;
  }
  sim.Command("select A1120301001ACME");
  e2e::Process pelmora;
  pelmora.Start(L"\"" + e2e::ExeFolder() + L"Pelmora.exe\"");
  HWND main = e2e::WaitForTopLevel(pelmora::kMainWindowClass, L"Pelmora", pelmora.Id(), 300000);
  if (!main) {
    std::fprintf(stderr, "Pelmora did not start\n");
    return 1;
  }
  HWND name = e2e::Control(main, pelmora::kIdContactName);
  e2e::WaitUntil([&] { return !e2e::Text(name).empty(); }, 60000);

  const char* accounts[] = {"A1120301002BRAS", "A1120301001ACME"};
  std::vector<double> follow;
  for (int i = 0; i < 60; ++i) {
    const std::wstring before = e2e::Text(name);
    // Switch at a random point of the 500 ms tick.
    Sleep(static_cast<DWORD>(37 * i % 500));
    const double t0 = NowMs();
    sim.Command(std::string("select ") + accounts[i % 2]);
    if (!e2e::WaitUntil([&] { return e2e::Text(name) != before; }, 20000, 2)) continue;
    follow.push_back(NowMs() - t0);
  }
  const auto dde = DdeRoundTrips(200);

  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pelmora.Id());
  const double cpu0 = CpuSeconds(process);
  // Marks the idle window for a script that measures from outside, where
  // the system does not report another process's times.
  std::printf("idle window: start\n");
  std::fflush(stdout);
  Sleep(30000);
  std::printf("idle window: end\n");
  std::fflush(stdout);
  const double cpuIdle = CpuSeconds(process) - cpu0;
  PROCESS_MEMORY_COUNTERS_EX mem{};
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem), sizeof(mem));
  CloseHandle(process);

  std::printf("record switch to list shown: %zu switches, median %.0f ms, p95 %.0f ms\n",
              follow.size(), follow.empty() ? 0.0 : Percentile(follow, 0.5),
              follow.empty() ? 0.0 : Percentile(follow, 0.95));
  std::printf("DDE request round trip: %zu requests, median %.2f ms, p95 %.2f ms\n", dde.size(),
              dde.empty() ? 0.0 : Percentile(dde, 0.5), dde.empty() ? 0.0 : Percentile(dde, 0.95));
  if (cpuIdle > 0.0)
    std::printf("idle CPU over 30 s: %.2f %% of one core\n", cpuIdle / 30.0 * 100.0);
  else
    std::printf("idle CPU over 30 s: not reported by this system\n");
  if (mem.PrivateUsage > 0)
    std::printf("private memory: %.1f MiB\n", static_cast<double>(mem.PrivateUsage) / 1048576.0);
  else
    std::printf("private memory: not reported by this system\n");
  std::printf("working set: %.1f MiB\n", static_cast<double>(mem.WorkingSetSize) / 1048576.0);
  PostMessageW(main, WM_CLOSE, 0, 0);
  pelmora.Wait(20000);
  sim.Stop();
  return 0;
}
