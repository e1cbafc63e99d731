#include "sim/sim_control.h"

#include <filesystem>
#include <fstream>

namespace pelmora::sim {

namespace {

constexpr ULONG_PTR kControlMarker = 0x474D;

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lparam) {
  auto* search = reinterpret_cast<Search*>(lparam);
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (std::wstring_view(name) == kSimWindowClass && (search->pid == 0 || search->pid == pid)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindSimWindow(DWORD timeout_ms, DWORD pid) {
  ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    Search search{pid, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr || GetTickCount64() >= end) return search.found;
    Sleep(100);
  }
}

int SendSimCommand(HWND window, std::string_view utf8_command, DWORD timeout_ms) {
  COPYDATASTRUCT data{kControlMarker, static_cast<DWORD>(utf8_command.size()),
                      const_cast<char*>(utf8_command.data())};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                           SMTO_ABORTIFHUNG, timeout_ms, &result)) {
    return -1;
  }
  return result ? 1 : 0;
}

std::vector<std::string> ReadSimEvents(const std::wstring& gold_dir) {
  std::wstring path = gold_dir;
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  std::ifstream in(std::filesystem::path(path + L"sim-events.log"), std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  for (wchar_t c : arg) {
    out += c;
    if (c == L'"') out += c;
  }
  return out + L"\"";
}

std::optional<SimProcess> StartSim(const std::wstring& exe, const std::vector<std::wstring>& args,
                                   DWORD timeout_ms, std::wstring* error) {
  std::wstring command = QuoteArgument(exe);
  for (const auto& arg : args) command += L" " + QuoteArgument(arg);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    if (error) *error = L"cannot start " + exe + L": error " + std::to_wstring(GetLastError());
    return std::nullopt;
  }
  CloseHandle(info.hThread);
  SimProcess sim{info.hProcess, info.dwProcessId, nullptr};
  ULONGLONG end = GetTickCount64() + timeout_ms;
  while (sim.window == nullptr && GetTickCount64() < end) {
    if (WaitForSingleObject(sim.process, 0) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(sim.process, &code);
      if (error) *error = L"gmw.exe ended with exit code " + std::to_wstring(code);
      CloseHandle(sim.process);
      return std::nullopt;
    }
    sim.window = FindSimWindow(200, sim.pid);
  }
  if (sim.window == nullptr) {
    if (error) *error = L"gmw.exe showed no window in time";
    TerminateProcess(sim.process, 1);
    CloseHandle(sim.process);
    return std::nullopt;
  }
  return sim;
}

bool StopSim(SimProcess& sim, DWORD timeout_ms) {
  if (sim.process == nullptr) return true;
  bool quit = sim.window != nullptr && SendSimCommand(sim.window, "quit", timeout_ms) == 1 &&
              WaitForSingleObject(sim.process, timeout_ms) == WAIT_OBJECT_0;
  if (!quit) {
    TerminateProcess(sim.process, 1);
    WaitForSingleObject(sim.process, timeout_ms);
  }
  CloseHandle(sim.process);
  sim = SimProcess{};
  return quit;
}

}  // namespace pelmora::sim
