#include "crash/report/symbols/win/dbg_help_reader.h"

#include <windows.h>
#include <dbghelp.h>

#include <algorithm>
#include <vector>

#include "crash/report/symbols/symbol_text.h"
#include "crash/report/symbols/win/dbg_help_lock.h"
#include "crash/report/symbols/win/win32_environment.h"
#include "crash/base/win/wide_text.h"

namespace ostrel {
namespace {

constexpr DWORD64 kPdbBase = 0x80000000;
constexpr DWORD kModuleInfoSize = 3248;
constexpr DWORD kLockWaitMs = 10000;
constexpr ULONG kFunctionTag = 5;
constexpr ULONG kPublicTag = 10;

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
using SymEnumLinesFn = BOOL(WINAPI*)(HANDLE, ULONG64, PCSTR, PCSTR, PSYM_ENUMLINES_CALLBACK, PVOID);
using SymGetOptionsFn = DWORD(WINAPI*)();
using SymSetOptionsFn = DWORD(WINAPI*)(DWORD);

struct DbgHelp {
  SymInitializeWFn initialize = nullptr;
  SymCleanupFn cleanup = nullptr;
  SymLoadModuleExWFn loadModule = nullptr;
  SymUnloadModule64Fn unloadModule = nullptr;
  SymGetModuleInfoW64Fn moduleInfo = nullptr;
  SymEnumSymbolsWFn enumSymbols = nullptr;
  SymEnumLinesWFn enumLines = nullptr;
  // Optional: without the line option the library hands out no lines.
  SymGetOptionsFn getOptions = nullptr;
  SymSetOptionsFn setOptions = nullptr;
  // Wine's library exports SymEnumLinesW as a stub that raises when called;
  // its 8-bit twin works there.
  SymEnumLinesFn enumLinesAnsi = nullptr;
  bool ready = false;
};

template <typename T>
bool Entry(HMODULE lib, const char* name, T& out) {
  out = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
  return out != nullptr;
}

bool RunsOnWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
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
    if (!Entry(lib, "SymGetOptions", d.getOptions) || !Entry(lib, "SymSetOptions", d.setOptions)) {
      d.getOptions = nullptr;
      d.setOptions = nullptr;
    }
    if (RunsOnWine()) Entry(lib, "SymEnumLines", d.enumLinesAnsi);
    return d;
  }();
  return library;
}

TDbgHelpLock& Lock() {
  static TDbgHelpLock lock(kLockWaitMs);
  return lock;
}

// Line numbers on for the library's process-wide options while we read.
class TLineOption {
 public:
  explicit TLineOption(const DbgHelp& d) : d_(d) {
    if (d_.getOptions == nullptr) return;
    old_ = d_.getOptions();
    d_.setOptions(old_ | SYMOPT_LOAD_LINES);
  }
  ~TLineOption() {
    if (d_.setOptions != nullptr) d_.setOptions(old_);
  }
  TLineOption(const TLineOption&) = delete;
  TLineOption& operator=(const TLineOption&) = delete;

 private:
  const DbgHelp& d_;
  DWORD old_ = 0;
};

std::uint32_t Relative(const TMapFile& m, ULONG64 address) {
  return static_cast<std::uint32_t>(address - m.pdbCorrection - kPdbBase);
}

struct LineWalk {
  TMapFile* symbols = nullptr;
  std::u16string file;
  std::uint32_t lastAddress = 0;
  std::int32_t lastLine = 0;
  bool any = false;
};

// A change of source file, or an address or line going back, starts a unit.
void AddLine(LineWalk& walk, std::u16string_view path, DWORD lineNumber, ULONG64 at) {
  TMapFile& m = *walk.symbols;
  const std::uint32_t address = m.codeBase + Relative(m, at);
  const auto line = static_cast<std::int32_t>(lineNumber);
  const std::u16string file(FileNamePart(path));
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
}

BOOL CALLBACK OnLineW(PSRCCODEINFOW info, PVOID context) {
  AddLine(*static_cast<LineWalk*>(context), reinterpret_cast<const char16_t*>(info->FileName),
          info->LineNumber, info->Address);
  return TRUE;
}

BOOL CALLBACK OnLineA(PSRCCODEINFO info, PVOID context) {
  AddLine(*static_cast<LineWalk*>(context), FromCodePage(info->FileName), info->LineNumber,
          info->Address);
  return TRUE;
}

struct FoundSymbol {
  ULONG tag = 0;
  ULONG64 address = 0;
  std::u16string name;
};

BOOL CALLBACK OnSymbol(PSYMBOL_INFOW info, ULONG, PVOID context) {
  if (info->Tag != kFunctionTag && info->Tag != kPublicTag) return TRUE;
  static_cast<std::vector<FoundSymbol>*>(context)->push_back(
      {info->Tag, info->Address,
       std::u16string(reinterpret_cast<const char16_t*>(info->Name), info->NameLen)});
  return TRUE;
}

// Functions under their compiler names; a linker's public symbol (often
// decorated: "_Name", "__ZN...") only where no function starts, as several
// names at one address would otherwise leave the pick to the enumeration
// order.
void AddPublics(TMapFile& m, const std::vector<FoundSymbol>& found) {
  std::vector<ULONG64> functions;
  for (const FoundSymbol& s : found)
    if (s.tag == kFunctionTag) functions.push_back(s.address);
  for (const FoundSymbol& s : found) {
    if (s.tag == kPublicTag &&
        std::find(functions.begin(), functions.end(), s.address) != functions.end())
      continue;
    m.AddPublic(true, s.name, false, Relative(m, s.address));
  }
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Units, lines and functions of the loaded module; false without lines.
bool ReadLoaded(const DbgHelp& d, HANDLE process, DWORD64 base, bool needsPdb, TMapFile& symbols) {
  IMAGEHLP_MODULEW64 info{};
  info.SizeOfStruct = kModuleInfoSize;
  if (!d.moduleInfo(process, base, &info)) return false;
  // Loaded through the module file, the library falls back to export names
  // when it finds no matching PDB: those are not what was asked for.
  if (needsPdb && info.SymType != SymPdb) return false;
  LineWalk walk;
  walk.symbols = &symbols;
  if (d.enumLinesAnsi != nullptr)
    d.enumLinesAnsi(process, base, nullptr, nullptr, OnLineA, &walk);
  else
    d.enumLines(process, base, nullptr, nullptr, OnLineW, &walk);
  if (symbols.segments.empty()) return false;
  symbols.SortSegments();
  symbols.TidySegments(false);
  if (symbols.lastSegment[1] < 0) return false;
  TMfSegment& last = symbols.segments[static_cast<std::size_t>(symbols.lastSegment[1])];
  if (symbols.codeTop > last.start) last.length = symbols.codeTop - last.start;
  std::vector<FoundSymbol> found;
  d.enumSymbols(process, base, L"*", OnSymbol, &found);
  AddPublics(symbols, found);
  symbols.SortPublics();
  return true;
}

}  // namespace

bool ReadPdbThroughDbgHelp(TMapFile& symbols, const std::u16string& path) {
  const DbgHelp& d = Library();
  if (!d.ready) return false;
  const TDbgHelpHold hold(Lock());
  if (!hold) return false;
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  const TLineOption lines(d);
  bool found = false;
  HANDLE process = GetCurrentProcess();
  const std::wstring pdb = Wide(path);
  // The PDB's folder is where the library looks for it by name.
  if (d.initialize(process, FolderOf(pdb).c_str(), FALSE)) {
    DWORD64 base = d.loadModule(process, nullptr, pdb.c_str(), nullptr, kPdbBase, 0, nullptr, 0);
    bool throughModule = false;
    if (base == 0) {
      // Libraries that load only images (Wine's) find the PDB through the
      // module file's debug record; the addresses come out the same.
      const std::wstring module = Wide(symbols.moduleFileName);
      base = d.loadModule(process, nullptr, module.c_str(), nullptr, kPdbBase, 0, nullptr, 0);
      throughModule = true;
    }
    if (base != 0) {
      found = ReadLoaded(d, process, base, throughModule, symbols);
      d.unloadModule(process, base);
    }
    d.cleanup(process);
  }
  SetErrorMode(oldMode);
  return found;
}

}  // namespace ostrel
