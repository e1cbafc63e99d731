#include <windows.h>

#include <mutex>
#include <vector>

#include "crash/report/symbols/symbol_text.h"
#include "crash/report/symbols/win/loaded_symbols.h"
#include "crash/report/symbols/win/win32_environment.h"
#include "crash/base/win/wide_text.h"

namespace ostrel {
namespace {

struct CacheEntry {
  std::u16string fileName;
  WORD dosDate = 0;
  WORD dosTime = 0;
  std::uintptr_t imageBase = 0;
  std::shared_ptr<const TMapFile> symbols;
};

// The process-wide cache, used under SymbolsForModule's lock.
std::vector<CacheEntry>& Cache() {
  static std::vector<CacheEntry> cache;
  return cache;
}

bool FileDosTime(const std::u16string& path, WORD& date, WORD& time) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  FILETIME local{};
  return GetFileAttributesExW(WidePtr(path), GetFileExInfoStandard, &data) &&
         FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) &&
         FileTimeToDosDateTime(&local, &date, &time);
}

std::shared_ptr<const TMapFile> Invalid() { return std::make_shared<const TMapFile>(); }

}  // namespace

std::shared_ptr<const TMapFile> SymbolsForModule(std::uintptr_t address) {
  // Reports, the address check and the disassembler may ask from several
  // threads.
  static std::recursive_mutex lock;
  std::lock_guard guard(lock);
  HMODULE module = nullptr;
  if (address == 0) {
    module = GetModuleHandleW(nullptr);
  } else {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<LPCVOID>(address), &region, sizeof region) == 0 ||
        region.State != MEM_COMMIT || region.AllocationBase == nullptr)
      return Invalid();
    module = static_cast<HMODULE>(region.AllocationBase);
  }
  wchar_t path[MAX_PATH + 1];
  const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return Invalid();
  const std::u16string fileName(path, path + n);
  WORD date = 0, time = 0;
  FileDosTime(fileName, date, time);
  const auto base = reinterpret_cast<std::uintptr_t>(module);

  std::vector<CacheEntry>& cache = Cache();
  for (std::size_t i = 0; i < cache.size(); ++i) {
    if (!EqualsNoCase(cache[i].fileName, fileName)) continue;
    if (cache[i].dosDate == date && cache[i].dosTime == time && cache[i].imageBase == base)
      return cache[i].symbols;
    cache[i] = std::move(cache.back());  // stale: the module changed or moved
    cache.pop_back();
    break;
  }
  auto symbols = std::make_shared<TMapFile>();
  symbols->moduleHandle = base;
  symbols->moduleFileName = fileName;
  TWin32SymbolEnvironment env(module);
  BuildModuleSymbols(*symbols, env);
  if (symbols->valid) cache.push_back({fileName, date, time, base, symbols});
  return symbols;
}

void ClearSymbolCache() { Cache().clear(); }

}  // namespace ostrel
