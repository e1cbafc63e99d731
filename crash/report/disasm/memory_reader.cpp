#include "crash/report/disasm/memory_reader.h"

namespace ostrel {

TMemoryClass ClassifyRange(const TDATryRead& snapshot, std::uint32_t address,
                           std::uint32_t length) {
  const auto& runs = snapshot.runs;
  std::size_t lo = 0, hi = runs.size();
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    if (runs[mid].start > address) {
      hi = mid;
    } else if (runs[mid].end != 0 && runs[mid].end <= address) {
      lo = mid + 1;
    } else {
      const TMemoryRun& r = runs[mid];
      std::uint64_t last = std::uint64_t(address) + (length ? length : 1);
      std::uint64_t end = r.end ? r.end : 0x100000000ull;
      return last <= end ? r.cls : kNotReadable;
    }
  }
  return kNotReadable;
}

void AppendRun(TDATryRead& snapshot, std::uint32_t start, std::uint32_t end, TMemoryClass cls) {
  auto& runs = snapshot.runs;
  if (runs.capacity() == 0) runs.reserve(64);
  if (!runs.empty() && runs.back().cls == cls && runs.back().end == start) {
    runs.back().end = end;
    return;
  }
  if (runs.size() == runs.capacity()) runs.reserve(runs.capacity() + runs.capacity() / 2);
  runs.push_back({start, end, cls});
}

bool GuardedRead(const IMemoryReader& reader, std::uint32_t address, void* dst,
                 std::uint32_t length, const TDATryRead* snapshot) {
  if (length == 0) return true;
  if (std::uint64_t(address) + length > 0x100000000ull) return false;
  if (snapshot && ClassifyRange(*snapshot, address, length) == kNotReadable) return false;
  return reader.Read(address, dst, length);
}

}  // namespace ostrel
