#include "crash/report/symbols/win/DbgHelpReader.h"

#include <windows.h>
#include <dbghelp.h>

#include "crash/report/symbols/SymbolText.h"
#include "crash/report/symbols/win/Win32Environment.h"

namespace ostrel {
namespace {

constexpr DWORD64 kPdbBase = 0x80000000;
constexpr DWORD kModuleInfoSize = 3248;

using SymInitializeWFn = BOOL(WINAPI*)(HANDLE, PCWSTR, BOOL);
using SymCleanupFn = BOOL(WINAPI*)(HANDLE);
using SymLoadModuleExWFn = DWORD64(WINAPI*)(HANDLE, HANDLE, PCWSTR, PCWSTR, DWORD64, DWORD,
                                            PMODLOAD_DATA, DWORD);
using SymUnloadModule64Fn = BOOL(WINAPI*)(HANDLE, DWORD64);
using SymGetModuleInfoW64Fn = BOOL(WINAPI*)(HANDLE, DWORD64, PIMAGEHLP_MODULEW64);
using SymEnumSymbolsWFn = BOOL(WINAPI*)(HANDLE, ULONG64, PCWSTR, PSYM_ENUMERATESYMBOLS_CALLBACKW,
                                        PVOID);
using SymEnumLinesWFn = BOOL(WINAPI*)(HANDLE, ULONG64, PCWSTR, PCWSTR, PSYM_ENUMLINES_CALLBACKW,
                                      PVOID);

struct DbgHelp {
  SymInitializeWFn initialize = nullptr;
  SymCleanupFn cleanup = nullptr;
  SymLoadModuleExWFn loadModule = nullptr;
  SymUnloadModule64Fn unloadModule = nullptr;
  SymGetModuleInfoW64Fn moduleInfo = nullptr;
  SymEnumSymbolsWFn enumSymbols = nullptr;
  SymEnumLinesWFn enumLines = nullptr;
  bool ready = false;
};

template <typename T>
bool Entry(HMODULE lib, const char* name, T& out) {
  out = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
  return out != nullptr;
}

// Loaded once, from the reporter's own folder only, and kept.
const DbgHelp& Library() {
  static const DbgHelp library = [] {
    DbgHelp d;
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&Library), &self))
      return d;
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return d;
    std::wstring folder(path, n);
    folder.erase(folder.find_last_of(L"\\/") + 1);
    HMODULE lib = LoadLibraryW((folder + L"dbghelp.dll").c_str());
    if (lib == nullptr) return d;
    d.ready = Entry(lib, "SymInitializeW", d.initialize) && Entry(lib, "SymCleanup", d.cleanup) &&
              Entry(lib, "SymLoadModuleExW", d.loadModule) &&
              Entry(lib, "SymUnloadModule64", d.unloadModule) &&
              Entry(lib, "SymGetModuleInfoW64", d.moduleInfo) &&
              Entry(lib, "SymEnumSymbolsW", d.enumSymbols) &&
              Entry(lib, "SymEnumLinesW", d.enumLines);
    return d;
  }();
  return library;
}

struct LineWalk {
  TMapFile* symbols = nullptr;
  std::u16string file;
  std::uint32_t lastAddress = 0;
  std::int32_t lastLine = 0;
  bool any = false;
};

std::uint32_t Relative(const TMapFile& m, ULONG64 address) {
  return static_cast<std::uint32_t>(address - m.pdbCorrection - kPdbBase);
}

BOOL CALLBACK OnLine(PSRCCODEINFOW info, PVOID context) {
  auto& walk = *static_cast<LineWalk*>(context);
  TMapFile& m = *walk.symbols;
  const std::uint32_t address = m.codeBase + Relative(m, info->Address);
  const auto line = static_cast<std::int32_t>(info->LineNumber);
  const std::u16string file(
      FileNamePart(std::u16string(reinterpret_cast<const char16_t*>(info->FileName))));
  if (!walk.any || file != walk.file || address < walk.lastAddress || line < walk.lastLine) {
    if (m.lastSegment[1] >= 0) {
      TMfSegment& previous = m.segments[static_cast<std::size_t>(m.lastSegment[1])];
      if (address > previous.start) previous.length = address - previous.start;
    }
    m.AddSegment(true, false, false, false, file, 1, address);
    walk.file = file;
  }
  m.AppendLineRecord(line, address, false);
  walk.lastAddress = address;
  walk.lastLine = line;
  walk.any = true;
  return TRUE;
}

BOOL CALLBACK OnSymbol(PSYMBOL_INFOW info, ULONG, PVOID context) {
  auto& m = *static_cast<TMapFile*>(context);
  if (info->Tag != 5 && info->Tag != 10) return TRUE;  // function, public symbol
  const std::u16string name(reinterpret_cast<const char16_t*>(info->Name), info->NameLen);
  m.AddPublic(true, name, false, Relative(m, info->Address));
  return TRUE;
}

}  // namespace

bool ReadPdbThroughDbgHelp(TMapFile& symbols, const std::u16string& path) {
  const DbgHelp& d = Library();
  if (!d.ready) return false;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"OstrelDbgHelp");
  if (mutex == nullptr) return false;
  WaitForSingleObject(mutex, INFINITE);
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  bool found = false;
  HANDLE process = GetCurrentProcess();
  if (d.initialize(process, nullptr, FALSE)) {
    const std::wstring wide = WidePath(path);
    const DWORD64 base =
        d.loadModule(process, nullptr, wide.c_str(), nullptr, kPdbBase, 0, nullptr, 0);
    if (base != 0) {
      IMAGEHLP_MODULEW64 info{};
      info.SizeOfStruct = kModuleInfoSize;
      if (d.moduleInfo(process, base, &info)) {
        LineWalk walk;
        walk.symbols = &symbols;
        d.enumLines(process, base, nullptr, nullptr, OnLine, &walk);
        if (!symbols.segments.empty()) {
          symbols.SortSegments();
          symbols.TidySegments(false);
          TMfSegment& last = symbols.segments[static_cast<std::size_t>(symbols.lastSegment[1])];
          if (symbols.codeTop > last.start) last.length = symbols.codeTop - last.start;
          d.enumSymbols(process, base, L"*", OnSymbol, &symbols);
          symbols.SortPublics();
          found = true;
        }
      }
      d.unloadModule(process, base);
    }
    d.cleanup(process);
  }
  SetErrorMode(oldMode);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return found;
}

}  // namespace ostrel
