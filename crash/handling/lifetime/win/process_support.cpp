// Process-level support of the handling: the temporary folder, the memory
// reserve, restart with its hand-over, and close.
#include <cstdio>
#include <mutex>

#include "crash/handling/lifetime/win/process_support.h"
#include "crash/base/win/wide_text.h"
#include "crash/handling/lifetime/restart_handover.h"
#include "crash/settings/win/kernel_object_security.h"
#include "ostrel/ostrel.h"

namespace ostrel {
namespace rt {
namespace {

std::wstring RestartMappingName(DWORD processId) {
  wchar_t name[64];
  std::swprintf(name, 64, L"OstrelRestart$%X", static_cast<unsigned>(processId));
  return name;
}

std::wstring TempFolderPath() {
  wchar_t base[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, base);
  std::wstring folder;
  if (n > 0 && n <= MAX_PATH) {
    folder = base;
  } else if (GetEnvironmentVariableW(L"APPDATA", base, MAX_PATH + 1)) {
    folder = std::wstring(base) + L"\\";
  }
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  wchar_t exe[MAX_PATH];
  n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring name(exe, n);
  name = name.substr(name.find_last_of(L"\\/") + 1);
  name = name.substr(0, name.rfind(L'.'));
  return folder + name + L".Ostrel\\";
}

struct Reserve {
  std::mutex lock;
  bool held = false;
  void* blocks[8] = {};
};
Reserve& TheReserve() {
  static Reserve reserve;
  return reserve;
}

}  // namespace

std::uint64_t SecondsSince1601() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return ticks / 10000000u;
}

void ClearTempFolder() {
  const std::wstring folder = TempFolderPath();
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW((folder + found.cFileName).c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

void ReserveMemory() {
  Reserve& r = TheReserve();
  std::lock_guard<std::mutex> guard(r.lock);
  if (r.held) return;
  for (int i = 0; i < 4; ++i) {
    r.blocks[i] = VirtualAlloc(nullptr, 4 << 20, MEM_RESERVE, PAGE_NOACCESS);
    r.blocks[4 + i] = VirtualAlloc(nullptr, 512 << 10, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
  }
  r.held = true;
}

void ReleaseMemory() {
  Reserve& r = TheReserve();
  std::lock_guard<std::mutex> guard(r.lock);
  for (void*& block : r.blocks) {
    if (block) VirtualFree(block, 0, MEM_RELEASE);
    block = nullptr;
  }
  r.held = false;
}

void TerminateProgram() {
  TerminateProcess(GetCurrentProcess(), 1);
  for (;;) Sleep(INFINITE);
}

void RestartProgram(const wchar_t* commandLine, const ExceptionHistory& history) {
  std::wstring command = commandLine ? commandLine : GetCommandLineW();
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                     nullptr, &si, &pi)) {
    KernelObjectSecurity security;
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                           kRestartHandoverSize, RestartMappingName(pi.dwProcessId).c_str());
    if (mapping) {
      HANDLE forChild = nullptr;
      DuplicateHandle(GetCurrentProcess(), mapping, pi.hProcess, &forChild, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
      if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kRestartHandoverSize)) {
        RestartHandover handover;
        handover.processId = GetCurrentProcessId();
        handover.handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(forChild));
        handover.history = history.Times();
        WriteRestartHandover(handover, {static_cast<std::uint8_t*>(view), kRestartHandoverSize});
        UnmapViewOfFile(view);
      }
      // Our own handle goes with the process; the child holds its duplicate.
    }
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  TerminateProcess(GetCurrentProcess(), 2);
  for (;;) Sleep(INFINITE);
}

std::optional<ExceptionHistory> TakeOverRestart() {
  HANDLE mapping =
      OpenFileMappingW(FILE_MAP_READ, FALSE, RestartMappingName(GetCurrentProcessId()).c_str());
  if (!mapping) return std::nullopt;
  std::optional<ExceptionHistory> history;
  if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kRestartHandoverSize)) {
    std::optional<RestartHandover> handover =
        ReadRestartHandover({static_cast<const std::uint8_t*>(view), kRestartHandoverSize});
    UnmapViewOfFile(view);
    if (handover) {
      if (handover->handle) CloseHandle(reinterpret_cast<HANDLE>(handover->handle));
      if (HANDLE old = OpenProcess(SYNCHRONIZE, FALSE, handover->processId)) {
        WaitForSingleObject(old, INFINITE);
        CloseHandle(old);
      }
      history = ExceptionHistory(handover->history);
    }
  }
  CloseHandle(mapping);
  return history;
}

}  // namespace rt

std::u16string TempFolder() {
  const std::wstring folder = rt::TempFolderPath();
  CreateDirectoryW(folder.c_str(), nullptr);
  return FromWide(folder);
}

}  // namespace ostrel
