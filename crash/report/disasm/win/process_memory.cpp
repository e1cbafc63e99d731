#include "crash/report/disasm/win/process_memory.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace ostrel {
namespace {

// Set once when copying execute-only memory faulted; from then on it is unprotected first.
std::atomic<bool> g_guardedCopyAbandoned{false};

TMemoryClass ClassOf(const MEMORY_BASIC_INFORMATION& mbi) {
  if (mbi.State != MEM_COMMIT) return kNotReadable;
  DWORD p = mbi.Protect;
  if (p & (PAGE_GUARD | PAGE_NOACCESS)) return kNotReadable;
  switch (p & 0xFF) {
    case PAGE_EXECUTE:
      return kExecuteOnly;
    case PAGE_READONLY:
    case PAGE_READWRITE:
    case PAGE_WRITECOPY:
    case PAGE_EXECUTE_READ:
    case PAGE_EXECUTE_READWRITE:
    case PAGE_EXECUTE_WRITECOPY:
      return kReadable;
    default:
      return kNotReadable;
  }
}

TMemoryClass QueryClass(std::uint32_t address, std::uint32_t length) {
  MEMORY_BASIC_INFORMATION mbi;
  if (!VirtualQuery(reinterpret_cast<void*>(std::uintptr_t(address)), &mbi, sizeof mbi))
    return kNotReadable;
  std::uint64_t end = std::uint64_t(std::uintptr_t(mbi.BaseAddress)) + mbi.RegionSize;
  if (std::uint64_t(address) + length > end) return kNotReadable;
  return ClassOf(mbi);
}

void Copy(std::uint32_t address, void* dst, std::uint32_t length) {
  std::memcpy(dst, reinterpret_cast<const void*>(std::uintptr_t(address)), length);
}

// The system copies and fails on a page freed since it was found readable
// (a thread that ended meanwhile takes its stack with it); a plain copy
// would fault there.
bool CopyReadable(std::uint32_t address, void* dst, std::uint32_t length) {
  SIZE_T copied = 0;
  return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(std::uintptr_t(address)),
                           dst, length, &copied) &&
         copied == length;
}

bool CopyExecuteOnly(std::uint32_t address, void* dst, std::uint32_t length) {
  // The system's probe reads the pages inside its own exception guard.
  if (!g_guardedCopyAbandoned.load()) {
    if (!IsBadReadPtr(reinterpret_cast<const void*>(std::uintptr_t(address)), length)) {
      Copy(address, dst, length);
      return true;
    }
    g_guardedCopyAbandoned.store(true);
  }
  static std::mutex protectLock;  // one protection change at a time
  std::lock_guard<std::mutex> lock(protectLock);
  void* at = reinterpret_cast<void*>(std::uintptr_t(address));
  DWORD old = 0;
  if (!VirtualProtect(at, length, PAGE_EXECUTE_READ, &old)) return false;
  Copy(address, dst, length);
  DWORD ignored = 0;
  VirtualProtect(at, length, old, &ignored);
  return true;
}

TDisasmSymbols& Installed() {
  static TDisasmSymbols symbols;
  return symbols;
}

}  // namespace

bool GuardedRead(std::uint32_t address, void* dst, std::uint32_t length,
                 const TDATryRead* snapshot) {
  if (length == 0) return true;
  if (std::uint64_t(address) + length > 0x100000000ull) return false;
  TMemoryClass cls =
      snapshot ? ClassifyRange(*snapshot, address, length) : QueryClass(address, length);
  switch (cls) {
    case kReadable:
      return CopyReadable(address, dst, length);
    case kExecuteOnly:
      return CopyExecuteOnly(address, dst, length);
    default:
      return false;
  }
}

bool GuardedCopyAbandoned() { return g_guardedCopyAbandoned.load(); }

bool TProcessMemoryReader::Read(std::uint32_t address, void* dst, std::uint32_t len) const {
  return GuardedRead(address, dst, len, snapshot_);
}

bool TProcessMemoryReader::Query(std::uint32_t address, TRegionInfo& info) const {
  MEMORY_BASIC_INFORMATION mbi;
  if (!VirtualQuery(reinterpret_cast<void*>(std::uintptr_t(address)), &mbi, sizeof mbi))
    return false;
  info.allocationBase =
      mbi.State == MEM_FREE ? 0 : std::uint32_t(std::uintptr_t(mbi.AllocationBase));
  info.start = std::uint32_t(std::uintptr_t(mbi.BaseAddress));
  info.end = std::uint32_t(std::uintptr_t(mbi.BaseAddress) + mbi.RegionSize);
  info.committed = mbi.State == MEM_COMMIT;
  info.cls = ClassOf(mbi);
  return true;
}

std::unique_ptr<TDATryRead> SnapshotReadableMemory() {
  auto snapshot = std::make_unique<TDATryRead>();
  std::uint64_t address = 0;
  MEMORY_BASIC_INFORMATION mbi;
  while (address < 0x100000000ull &&
         VirtualQuery(reinterpret_cast<void*>(std::uintptr_t(address)), &mbi, sizeof mbi)) {
    std::uint64_t end = std::uint64_t(std::uintptr_t(mbi.BaseAddress)) + mbi.RegionSize;
    if (end <= address) break;
    AppendRun(*snapshot, std::uint32_t(address), std::uint32_t(end), ClassOf(mbi));
    address = end;
  }
  if (address < 0x100000000ull) AppendRun(*snapshot, std::uint32_t(address), 0, kNotReadable);
  return snapshot;
}

void ReleaseSnapshot(std::unique_ptr<TDATryRead>& snapshot) { snapshot.reset(); }

void InstallDisasmSymbols(const TDisasmSymbols& symbols) { Installed() = symbols; }

const TDisasmSymbols& InstalledDisasmSymbols() { return Installed(); }

}  // namespace ostrel
