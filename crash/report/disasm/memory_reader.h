// How the disassembler sees a process's memory: every byte goes through this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ostrel {

enum TMemoryClass : std::uint8_t {
  kNotReadable = 0,
  kExecuteOnly = 1,  // committed, executable, readable only after changing the protection
  kReadable = 2,
};

struct TMemoryRun {
  std::uint32_t start = 0;
  std::uint32_t end = 0;  // exclusive; 0 means the top of the address space
  TMemoryClass cls = kNotReadable;
};

// Readable-memory snapshot: ascending runs covering the address space.
struct TDATryRead {
  std::vector<TMemoryRun> runs;
};

struct TRegionInfo {
  std::uint32_t allocationBase = 0;  // 0 when the region belongs to no allocation
  std::uint32_t start = 0;
  std::uint32_t end = 0;  // exclusive
  bool committed = false;
  TMemoryClass cls = kNotReadable;
};

class IMemoryReader {
 public:
  virtual ~IMemoryReader() = default;
  // Copies len bytes; false (and no partial guarantee) when any byte cannot be read.
  virtual bool Read(std::uint32_t address, void* dst, std::uint32_t len) const = 0;
  // The memory region holding address.
  virtual bool Query(std::uint32_t address, TRegionInfo& info) const = 0;
  // Fast path: readable bytes at address that can be read in place, and how many; nullptr
  // when the reader cannot hand out a pointer.
  virtual const std::uint8_t* Direct(std::uint32_t address, std::uint32_t& available) const {
    (void)address;
    available = 0;
    return nullptr;
  }
};

// Class of [address, address + length) in a snapshot, by bisection over its runs.
TMemoryClass ClassifyRange(const TDATryRead& snapshot, std::uint32_t address, std::uint32_t length);

// Appends a run, merging it with the previous one when the class is the same.
void AppendRun(TDATryRead& snapshot, std::uint32_t start, std::uint32_t end, TMemoryClass cls);

// Reads through the reader after checking the snapshot (when given).
bool GuardedRead(const IMemoryReader& reader, std::uint32_t address, void* dst,
                 std::uint32_t length, const TDATryRead* snapshot);

}  // namespace ostrel
