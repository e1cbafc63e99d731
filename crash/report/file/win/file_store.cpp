#include "crash/report/file/win/file_store.h"

#include <cwctype>

namespace ostrel {
namespace {

// One name per file, whatever the case or the process.
std::wstring TurnName(const std::wstring& path) {
  std::uint32_t hash = 2166136261u;
  for (wchar_t c : path) hash = (hash ^ static_cast<std::uint32_t>(std::towupper(c))) * 16777619u;
  wchar_t name[64];
  wsprintfW(name, L"OstrelBugReportFile$%08X", hash);
  return name;
}

}  // namespace

bool CreateFolders(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash == 0) return true;
  const std::wstring folder = path.substr(0, slash);
  if (folder.size() == 2 && folder[1] == L':') return true;
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!CreateFolders(folder)) return false;
  return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

TWin32ReportFileStore::~TWin32ReportFileStore() { Close(); }

bool TWin32ReportFileStore::Open(const std::u16string& path) {
  Close();
  path_.assign(path.begin(), path.end());
  beside_ = path_ + L".saving";
  if (!CreateFolders(path_)) return false;
  turn_ = CreateMutexW(nullptr, FALSE, TurnName(path_).c_str());
  // A saver that died holding the turn leaves it abandoned: that is ours.
  if (turn_ && WaitForSingleObject(turn_, 10000) == WAIT_TIMEOUT) {
    CloseHandle(turn_);
    turn_ = nullptr;
    return false;
  }
  file_ = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) {
    Close();
    return false;
  }
  return true;
}

bool TWin32ReportFileStore::ReadAll(std::string& out) {
  out.clear();
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file_, &size) || size.QuadPart > 0x40000000) return false;
  out.resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < out.size()) {
    DWORD got = 0;
    if (!ReadFile(file_, out.data() + done, static_cast<DWORD>(out.size() - done), &got, nullptr) ||
        got == 0) {
      return false;
    }
    done += got;
  }
  return true;
}

bool TWin32ReportFileStore::WriteBeside(const std::string& content) {
  HANDLE beside = CreateFileW(beside_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (beside == INVALID_HANDLE_VALUE) return false;
  besideWritten_ = true;
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < content.size()) {
    DWORD put = 0;
    ok = WriteFile(beside, content.data() + done, static_cast<DWORD>(content.size() - done), &put,
                   nullptr) &&
         put > 0;
    done += put;
  }
  ok = ok && FlushFileBuffers(beside);
  CloseHandle(beside);
  return ok;
}

PlaceOutcome TWin32ReportFileStore::PutInPlace() {
  // The file is let go only now, with the turn still held.
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
  if (!MoveFileExW(beside_.c_str(), path_.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    // Once let go, the file may be opened by anyone for a moment.
    switch (GetLastError()) {
      case ERROR_SHARING_VIOLATION:
      case ERROR_ACCESS_DENIED:
      case ERROR_LOCK_VIOLATION:
        return PlaceOutcome::Busy;
      default:
        return PlaceOutcome::Failed;
    }
  }
  besideWritten_ = false;
  return PlaceOutcome::Placed;
}

void TWin32ReportFileStore::Pause(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

void TWin32ReportFileStore::DiscardBeside() {
  if (besideWritten_) DeleteFileW(beside_.c_str());
  besideWritten_ = false;
}

void TWin32ReportFileStore::Close() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
  if (turn_) {
    ReleaseMutex(turn_);
    CloseHandle(turn_);
  }
  turn_ = nullptr;
}

}  // namespace ostrel
