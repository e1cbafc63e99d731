// Memory that may be freed while it is read (another thread's stack, a
// library being unloaded): every page is read once, whole, through a reader
// that fails cleanly on a page that is gone, and then served from that copy.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "crash/report/disasm/memory_reader.h"

namespace ostrel {

class TPageCopyReader final : public IMemoryReader {
 public:
  static constexpr std::uint32_t kPageSize = 0x1000;

  // source is read a page at a time; a page it cannot give whole is read
  // through it as asked. slots: how many pages are kept at once.
  explicit TPageCopyReader(const IMemoryReader& source, std::size_t slots = 64);

  bool Read(std::uint32_t address, void* dst, std::uint32_t len) const override;
  bool Query(std::uint32_t address, TRegionInfo& info) const override;
  // Drops every copy: what is read next is read anew.
  void Forget();

 private:
  struct Slot {
    std::uint32_t page = 0;
    enum State : std::uint8_t { kEmpty, kCopied, kPassThrough } state = kEmpty;
    std::unique_ptr<std::uint8_t[]> bytes;
  };
  bool ReadInPage(std::uint32_t address, std::uint8_t* dst, std::uint32_t len) const;

  const IMemoryReader& source_;
  mutable std::mutex lock_;
  mutable std::vector<Slot> slots_;
};

}  // namespace ostrel
