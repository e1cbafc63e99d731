// Helpers for tests that drive the GoldMine stand-in (gmw.exe).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::sim {

inline constexpr wchar_t kSimWindowClass[] = L"GoldMineSimMain";

// gmw.exe's window (of process pid, or of any process when pid is 0), or
// null when none appeared within the time-out.
HWND FindSimWindow(DWORD timeout_ms, DWORD pid = 0);

// Sends a control command ("select <accountno>", "select-additional
// <recid>", "stop", "resume", "quit"). 1: done, 0: refused, -1: no answer.
int SendSimCommand(HWND window, std::string_view utf8_command, DWORD timeout_ms = 10000);

// The lines of <GoldDir>\sim-events.log, without line ends.
std::vector<std::string> ReadSimEvents(const std::wstring& gold_dir);

struct SimProcess {
  HANDLE process = nullptr;
  DWORD pid = 0;
  HWND window = nullptr;
};

// Starts gmw.exe with the arguments (quoted as needed) and waits for its
// window. On failure the process is ended and error says why.
std::optional<SimProcess> StartSim(const std::wstring& exe, const std::vector<std::wstring>& args,
                                   DWORD timeout_ms, std::wstring* error);

// Sends "quit" and waits; ends the process if it does not go in time.
// Returns true when it quit by itself.
bool StopSim(SimProcess& sim, DWORD timeout_ms);

// A command-line argument quoted for gmw.exe: in quotes when it holds
// blanks or quotes (doubled) or is empty; backslashes stay as they are.
std::wstring QuoteArgument(const std::wstring& arg);

}  // namespace pelmora::sim
