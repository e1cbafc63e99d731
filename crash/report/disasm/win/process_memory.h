// The running process's memory as the disassembler reads it (Win32).
#pragma once

#include <memory>

#include "crash/report/disasm/memory_reader.h"
#include "crash/report/disasm/disasm_symbols.h"

namespace ostrel {

// Reads this process's memory: never faults, reads execute-only pages too.
// Each read is a system call: for many small reads put a TPageCopyReader
// over it.
class TProcessMemoryReader : public IMemoryReader {
 public:
  explicit TProcessMemoryReader(const TDATryRead* snapshot = nullptr) : snapshot_(snapshot) {}
  bool Read(std::uint32_t address, void* dst, std::uint32_t len) const override;
  bool Query(std::uint32_t address, TRegionInfo& info) const override;

 private:
  const TDATryRead* snapshot_;
};

// TDATryRead of the whole address space of this process.
std::unique_ptr<TDATryRead> SnapshotReadableMemory();
void ReleaseSnapshot(std::unique_ptr<TDATryRead>& snapshot);

// Guarded read of this process's memory.
bool GuardedRead(std::uint32_t address, void* dst, std::uint32_t length,
                 const TDATryRead* snapshot);

// Whether the guarded copy of execute-only memory has been abandoned after a fault.
bool GuardedCopyAbandoned();

// The symbol reader's callbacks, installed once when it starts.
void InstallDisasmSymbols(const TDisasmSymbols& symbols);
const TDisasmSymbols& InstalledDisasmSymbols();

}  // namespace ostrel
