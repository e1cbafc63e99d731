#include "support/gui_driver.h"

#include <commctrl.h>

#include <algorithm>

#include <cstring>

namespace e2e {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int stepMs) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(static_cast<DWORD>(stepMs));
  }
}

namespace {
struct FindArgs {
  const wchar_t* cls;
  const wchar_t* caption;
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lParam) {
  auto* a = reinterpret_cast<FindArgs*>(lParam);
  wchar_t cls[256] = {};
  GetClassNameW(hwnd, cls, 256);
  if (wcscmp(cls, a->cls) != 0) return TRUE;
  if (a->pid) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != a->pid) return TRUE;
  }
  if (a->caption && Text(hwnd) != a->caption) return TRUE;
  a->found = hwnd;
  return FALSE;
}
}  // namespace

HWND FindTopLevel(const wchar_t* cls, const wchar_t* caption, DWORD pid) {
  FindArgs a{cls, caption, pid, nullptr};
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&a));
  return a.found;
}

HWND WaitForTopLevel(const wchar_t* cls, const wchar_t* caption, DWORD pid, int timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopLevel(cls, caption, pid)) != nullptr; }, timeoutMs, 100);
  return found;
}

bool WaitResponsive(HWND hwnd, int timeoutMs) {
  return WaitUntil(
      [&] {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result) != 0;
      },
      timeoutMs, 200);
}

HWND Control(HWND parent, int id) { return GetDlgItem(parent, id); }

std::wstring Text(HWND hwnd) {
  wchar_t buffer[4096] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      5000, &copied);
  return buffer;
}

void SetText(HWND hwnd, const std::wstring& text) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                      5000, &result);
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

std::vector<std::vector<std::wstring>> ListViewRows(HWND listView) {
  // What the list view itself shows: each item's and sub-item's text, asked
  // for with LVM_GETITEMTEXTW through a buffer in the program's own memory.
  std::vector<std::vector<std::wstring>> rows;
  DWORD pid = 0;
  GetWindowThreadProcessId(listView, &pid);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return rows;
  constexpr SIZE_T kChars = 512;
  const SIZE_T size = sizeof(LVITEMW) + kChars * sizeof(wchar_t);
  auto* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!remote) {
    CloseHandle(process);
    return rows;
  }
  DWORD_PTR count = 0;
  SendMessageTimeoutW(listView, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
  for (DWORD_PTR row = 0; row < count; ++row) {
    std::vector<std::wstring> cells;
    // Column 0 is the row indicator; 1 and 2 are Type and Description.
    for (int column = 1; column <= 2; ++column) {
      LVITEMW item{};
      item.iSubItem = column;
      item.cchTextMax = static_cast<int>(kChars);
      item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
      SIZE_T done = 0;
      DWORD_PTR length = 0;
      wchar_t text[kChars] = {};
      if (!WriteProcessMemory(process, remote, &item, sizeof item, &done) ||
          !SendMessageTimeoutW(listView, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote),
                               SMTO_ABORTIFHUNG, 5000, &length) ||
          !ReadProcessMemory(process, remote + sizeof(LVITEMW), text,
                             std::min<SIZE_T>(length + 1, kChars) * sizeof(wchar_t), &done)) {
        cells.push_back(L"<unreadable>");
        continue;
      }
      cells.emplace_back(text, std::min<SIZE_T>(length, kChars - 1));
    }
    rows.push_back(std::move(cells));
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return rows;
}

int ListViewSelected(HWND listView) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED,
                      SMTO_ABORTIFHUNG, 5000, &result);
  return static_cast<int>(static_cast<LRESULT>(result));
}

void ClickRow(HWND listView, int row, bool doubleClick) {
  // Keys select the row; the double click goes where the row is drawn.
  PostMessageW(listView, WM_KEYDOWN, VK_HOME, 0);
  for (int i = 0; i < row; ++i) PostMessageW(listView, WM_KEYDOWN, VK_DOWN, 0);
  if (!doubleClick) return;
  RECT header{};
  GetWindowRect(FindWindowExW(listView, nullptr, L"SysHeader32", nullptr), &header);
  DWORD_PTR one = 0, two = 0;
  SendMessageTimeoutW(listView, LVM_APPROXIMATEVIEWRECT, 1, MAKELPARAM(-1, -1), SMTO_ABORTIFHUNG,
                      5000, &one);
  SendMessageTimeoutW(listView, LVM_APPROXIMATEVIEWRECT, 2, MAKELPARAM(-1, -1), SMTO_ABORTIFHUNG,
                      5000, &two);
  const int rowHeight = HIWORD(two) - HIWORD(one);
  const int y = (header.bottom - header.top) + row * rowHeight + rowHeight / 2;
  const LPARAM at = MAKELPARAM(40, y);
  PostMessageW(listView, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(listView, WM_LBUTTONUP, 0, at);
  PostMessageW(listView, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageW(listView, WM_LBUTTONUP, 0, at);
}

void TypeChar(HWND hwnd, wchar_t ch) { PostMessageW(hwnd, WM_CHAR, ch, 1); }

namespace {
// A visible top-level window of the class in the process (0: any);
// message boxes must also have their text control.
struct BoxArgs {
  DWORD pid;
  const wchar_t* windowClass;
  HWND found;
};

BOOL CALLBACK FindBoxProc(HWND hwnd, LPARAM lParam) {
  auto* a = reinterpret_cast<BoxArgs*>(lParam);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  const bool messageBox = wcscmp(a->windowClass, L"#32770") == 0;
  if (wcscmp(cls, a->windowClass) == 0 && (a->pid == 0 || owner == a->pid) &&
      IsWindowVisible(hwnd) && (!messageBox || GetDlgItem(hwnd, 0xFFFF))) {
    a->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND FindBox(DWORD pid, const wchar_t* windowClass) {
  BoxArgs args{pid, windowClass, nullptr};
  EnumWindows(FindBoxProc, reinterpret_cast<LPARAM>(&args));
  return args.found;
}
}  // namespace

HWND FindExceptionBox(DWORD pid) { return FindBox(pid, L"OstrelWndClass"); }

std::wstring ExceptionBoxMessage(HWND box) {
  HWND text = FindWindowExW(box, nullptr, L"Static", nullptr);
  wchar_t buffer[1024] = {};
  if (text) GetWindowTextW(text, buffer, 1024);
  return buffer;
}

HWND ExceptionBoxButton(HWND box, const std::wstring& caption) {
  HWND child = nullptr;
  while ((child = FindWindowExW(box, child, L"Button", nullptr)) != nullptr) {
    wchar_t text[256] = {};
    GetWindowTextW(child, text, 256);
    if (caption == text) return child;
  }
  return nullptr;
}

HWND FindMessageBox(DWORD pid) { return FindBox(pid, L"#32770"); }

std::vector<std::string> ReadLines(const std::wstring& path) {
  std::vector<std::string> lines;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lines;
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::wstring MessageBoxText(HWND box) { return Text(GetDlgItem(box, 0xFFFF)); }

std::optional<std::wstring> MessageBoxTextIfAnswered(HWND box) {
  wchar_t buffer[4096] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(GetDlgItem(box, 0xFFFF), WM_GETTEXT, 4096,
                           reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &copied)) {
    return std::nullopt;
  }
  return std::wstring(buffer);
}

void CloseMessageBox(HWND box) {
  HWND ok = GetDlgItem(box, IDOK);
  if (ok)
    Click(ok);
  else
    PostMessageW(box, WM_CLOSE, 0, 0);
}

Process::~Process() {
  if (info_.hProcess) CloseHandle(info_.hProcess);
  if (info_.hThread) CloseHandle(info_.hThread);
}

bool Process::Start(const std::wstring& commandLine, const std::vector<std::wstring>& extraEnv) {
  std::wstring env;
  if (!extraEnv.empty()) {
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
      env += p;
      env.push_back(L'\0');
    }
    FreeEnvironmentStringsW(block);
    for (const auto& e : extraEnv) {
      env += e;
      env.push_back(L'\0');
    }
    env.push_back(L'\0');
  }
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  std::wstring cmd = commandLine;
  return CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE,
                        extraEnv.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                        extraEnv.empty() ? nullptr : env.data(), nullptr, &si, &info_) != FALSE;
}

bool Process::Running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD Process::Wait(int timeoutMs) {
  if (!info_.hProcess) return 0;
  WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeoutMs));
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

void Process::Kill() {
  if (Running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 10000);
  }
}

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

bool SaveScreenshot(const std::wstring& path, HWND window) {
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window) GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(BITMAPINFOHEADER);
  fh.bfSize = fh.bfOffBits + stride * static_cast<DWORD>(h);
  bool ok = false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ok = WriteFile(file, &fh, sizeof(fh), &written, nullptr) &&
         WriteFile(file, &bi.bmiHeader, sizeof(bi.bmiHeader), &written, nullptr) &&
         WriteFile(file, bits, stride * static_cast<DWORD>(h), &written, nullptr);
    CloseHandle(file);
  }
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace e2e
