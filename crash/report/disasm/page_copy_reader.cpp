#include "crash/report/disasm/page_copy_reader.h"

#include <cstring>

namespace ostrel {

TPageCopyReader::TPageCopyReader(const IMemoryReader& source, std::size_t slots)
    : source_(source), slots_(slots ? slots : 1) {}

bool TPageCopyReader::Read(std::uint32_t address, void* dst, std::uint32_t len) const {
  if (len == 0) return true;
  if (std::uint64_t(address) + len > 0x100000000ull) return false;
  std::lock_guard<std::mutex> hold(lock_);
  auto* out = static_cast<std::uint8_t*>(dst);
  while (len > 0) {
    const std::uint32_t inPage = kPageSize - (address & (kPageSize - 1));
    const std::uint32_t n = len < inPage ? len : inPage;
    if (!ReadInPage(address, out, n)) return false;
    out += n;
    len -= n;
    address += n;  // wraps to 0 only when len has reached 0
  }
  return true;
}

bool TPageCopyReader::ReadInPage(std::uint32_t address, std::uint8_t* dst,
                                 std::uint32_t len) const {
  const std::uint32_t page = address & ~(kPageSize - 1);
  Slot& slot = slots_[(page / kPageSize) % slots_.size()];
  if (slot.state == Slot::kEmpty || slot.page != page) {
    if (!slot.bytes) slot.bytes = std::make_unique<std::uint8_t[]>(kPageSize);
    slot.page = page;
    // A page that cannot be had whole (partly readable, or gone) is left to
    // the source, read by read.
    slot.state =
        source_.Read(page, slot.bytes.get(), kPageSize) ? Slot::kCopied : Slot::kPassThrough;
  }
  if (slot.state == Slot::kPassThrough) return source_.Read(address, dst, len);
  std::memcpy(dst, slot.bytes.get() + (address - page), len);
  return true;
}

bool TPageCopyReader::Query(std::uint32_t address, TRegionInfo& info) const {
  return source_.Query(address, info);
}

void TPageCopyReader::Forget() {
  std::lock_guard<std::mutex> hold(lock_);
  for (Slot& slot : slots_) slot.state = Slot::kEmpty;
}

}  // namespace ostrel
