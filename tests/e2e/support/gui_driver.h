// Driving Pelmora and the GoldMine stand-in from another process, as a user
// would: windows, controls, list rows, clicks, keys, message boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Polls until the condition holds; false after the time-out.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int stepMs = 50);

// A visible or hidden top-level window of the class (and caption, if given),
// owned by the process (0: any process).
HWND FindTopLevel(const wchar_t* cls, const wchar_t* caption, DWORD pid);
HWND WaitForTopLevel(const wchar_t* cls, const wchar_t* caption, DWORD pid, int timeoutMs);

// True once the window's thread answers messages again (it may be blocked
// while the shell starts another program).
bool WaitResponsive(HWND hwnd, int timeoutMs);

HWND Control(HWND parent, int id);
std::wstring Text(HWND hwnd);
void SetText(HWND hwnd, const std::wstring& text);

// Buttons: posted, so a modal dialog opened by the click does not block us.
void Click(HWND button);

// Rows of Pelmora's grid as the list view shows them: Type and Description.
std::vector<std::vector<std::wstring>> ListViewRows(HWND listView);
int ListViewSelected(HWND listView);
// Mouse on a row: a click selects it, a double click opens it.
void ClickRow(HWND listView, int row, bool doubleClick);
void TypeChar(HWND hwnd, wchar_t ch);

// The first message box (#32770 with static 0xFFFF) of the process.
HWND FindMessageBox(DWORD pid);
// The reporter's exception box of the process (class OstrelWndClass), its
// message, and its button with the caption.
HWND FindExceptionBox(DWORD pid);
std::wstring ExceptionBoxMessage(HWND box);
HWND ExceptionBoxButton(HWND box, const std::wstring& caption);
std::wstring MessageBoxText(HWND box);
// The text, or nothing when the box did not answer in time (a busy
// emulator): the caller asks again rather than taking it for empty.
std::optional<std::wstring> MessageBoxTextIfAnswered(HWND box);
void CloseMessageBox(HWND box);

class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  // Starts the command line; extraEnv entries are NAME=VALUE.
  bool Start(const std::wstring& commandLine, const std::vector<std::wstring>& extraEnv = {});
  DWORD Id() const { return info_.dwProcessId; }
  bool Running() const;
  // Exit code, or STILL_ACTIVE after the time-out.
  DWORD Wait(int timeoutMs);
  void Kill();

 private:
  PROCESS_INFORMATION info_{};
};

// Lines of a text file (shared with its writer); none if it is missing.
std::vector<std::string> ReadLines(const std::wstring& path);

// The folder of this executable, with a trailing backslash.
std::wstring ExeFolder();

// Saves the screen (or one window's rectangle) as a 24-bit BMP file.
bool SaveScreenshot(const std::wstring& path, HWND window = nullptr);

}  // namespace e2e
