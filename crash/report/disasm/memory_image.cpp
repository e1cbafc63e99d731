#include "crash/report/disasm/memory_image.h"

#include <algorithm>
#include <cstring>

namespace ostrel {

void TMemoryImage::Add(std::uint32_t start, std::vector<std::uint8_t> bytes, TMemoryClass cls,
                       std::uint32_t allocationBase) {
  Block block{start, std::move(bytes), cls, allocationBase};
  auto at = std::lower_bound(blocks_.begin(), blocks_.end(), start,
                             [](const Block& b, std::uint32_t s) { return b.start < s; });
  blocks_.insert(at, std::move(block));
}

const TMemoryImage::Block* TMemoryImage::Find(std::uint32_t address) const {
  if (blocks_.size() == 1) {
    const Block& b = blocks_.front();
    return address - b.start < b.bytes.size() ? &b : nullptr;
  }
  auto at = std::upper_bound(blocks_.begin(), blocks_.end(), address,
                             [](std::uint32_t a, const Block& b) { return a < b.start; });
  if (at == blocks_.begin()) return nullptr;
  --at;
  if (std::uint64_t(address) >= std::uint64_t(at->start) + at->bytes.size()) return nullptr;
  return &*at;
}

bool TMemoryImage::Read(std::uint32_t address, void* dst, std::uint32_t len) const {
  auto* out = static_cast<std::uint8_t*>(dst);
  while (len) {
    const Block* b = Find(address);
    if (!b || b->cls == kNotReadable) return false;
    std::uint32_t offset = address - b->start;
    std::uint32_t n = std::min<std::uint32_t>(len, std::uint32_t(b->bytes.size() - offset));
    std::memcpy(out, b->bytes.data() + offset, n);
    out += n;
    len -= n;
    address += n;
    if (len && address == 0) return false;
  }
  return true;
}

const std::uint8_t* TMemoryImage::Direct(std::uint32_t address, std::uint32_t& available) const {
  const Block* b = Find(address);
  if (!b || b->cls == kNotReadable) {
    available = 0;
    return nullptr;
  }
  std::uint32_t offset = address - b->start;
  available = std::uint32_t(b->bytes.size() - offset);
  return b->bytes.data() + offset;
}

bool TMemoryImage::Query(std::uint32_t address, TRegionInfo& info) const {
  const Block* b = Find(address);
  if (!b) return false;
  info.allocationBase = b->allocationBase;
  info.start = b->start;
  info.end = b->start + std::uint32_t(b->bytes.size());
  info.committed = true;
  info.cls = b->cls;
  return true;
}

namespace {

std::uint32_t U32(const std::vector<std::uint8_t>& f, std::size_t at) {
  if (at + 4 > f.size()) return 0;
  return std::uint32_t(f[at]) | std::uint32_t(f[at + 1]) << 8 | std::uint32_t(f[at + 2]) << 16 |
         std::uint32_t(f[at + 3]) << 24;
}
std::uint16_t U16(const std::vector<std::uint8_t>& f, std::size_t at) {
  if (at + 2 > f.size()) return 0;
  return std::uint16_t(f[at] | f[at + 1] << 8);
}

struct PeLayout {
  std::uint32_t peAt = 0, imageBase = 0, imageSize = 0, headerSize = 0;
  std::size_t sectionsAt = 0;
  int sectionCount = 0;
};

bool ParseHeaders(const std::vector<std::uint8_t>& f, PeLayout& pe, std::string& error) {
  if (f.size() < 0x40 || f[0] != 'M' || f[1] != 'Z') {
    error = "not a PE file (no MZ header)";
    return false;
  }
  pe.peAt = U32(f, 0x3C);
  if (std::uint64_t(pe.peAt) + 0x78 > f.size() || U32(f, pe.peAt) != 0x4550) {
    error = "not a PE file (no PE signature)";
    return false;
  }
  std::uint16_t magic = U16(f, pe.peAt + 24);
  if (magic != 0x10B) {
    error = "not a 32-bit PE image";
    return false;
  }
  pe.sectionCount = U16(f, pe.peAt + 6);
  std::uint16_t optionalSize = U16(f, pe.peAt + 20);
  pe.imageBase = U32(f, pe.peAt + 24 + 28);
  pe.imageSize = U32(f, pe.peAt + 24 + 56);
  pe.headerSize = U32(f, pe.peAt + 24 + 60);
  pe.sectionsAt = pe.peAt + 24 + optionalSize;
  if (pe.sectionsAt + std::size_t(pe.sectionCount) * 40 > f.size() || pe.imageSize > 0x40000000u) {
    error = "PE section table is truncated or image size is implausible";
    return false;
  }
  return true;
}

}  // namespace

bool MapPeImage(const std::vector<std::uint8_t>& file, std::uint32_t base, TMemoryImage& image,
                std::string& error, std::uint32_t* mappedBase) {
  PeLayout pe;
  if (!ParseHeaders(file, pe, error)) return false;
  if (!base) base = pe.imageBase;
  if (std::uint64_t(base) + pe.imageSize > 0x100000000ull) {
    error = "image does not fit at that base";
    return false;
  }
  std::vector<std::uint8_t> mem(pe.imageSize, 0);
  std::size_t headerBytes = std::min<std::size_t>({pe.headerSize, file.size(), mem.size()});
  std::memcpy(mem.data(), file.data(), headerBytes);
  for (int i = 0; i < pe.sectionCount; ++i) {
    std::size_t s = pe.sectionsAt + std::size_t(i) * 40;
    std::uint32_t va = U32(file, s + 12), rawSize = U32(file, s + 16), rawAt = U32(file, s + 20);
    std::uint32_t virtualSize = U32(file, s + 8);
    std::uint32_t n = virtualSize ? std::min(virtualSize, rawSize) : rawSize;
    if (std::uint64_t(rawAt) + n > file.size())
      n = rawAt < file.size() ? std::uint32_t(file.size() - rawAt) : 0;
    if (std::uint64_t(va) + n > mem.size())
      n = va < mem.size() ? std::uint32_t(mem.size() - va) : 0;
    if (n) std::memcpy(mem.data() + va, file.data() + rawAt, n);
  }
  image.Add(base, std::move(mem), kReadable, base);
  if (mappedBase) *mappedBase = base;
  return true;
}

bool PeCodeSections(const std::vector<std::uint8_t>& file, std::vector<TCodeSection>& sections,
                    std::uint32_t& imageBase) {
  PeLayout pe;
  std::string error;
  if (!ParseHeaders(file, pe, error)) return false;
  imageBase = pe.imageBase;
  for (int i = 0; i < pe.sectionCount; ++i) {
    std::size_t s = pe.sectionsAt + std::size_t(i) * 40;
    std::uint32_t characteristics = U32(file, s + 36);
    if (!(characteristics & 0x20000000u) && !(characteristics & 0x20u)) continue;
    std::uint32_t va = U32(file, s + 12), rawSize = U32(file, s + 16), rawAt = U32(file, s + 20);
    std::uint32_t virtualSize = U32(file, s + 8);
    std::uint32_t n = virtualSize ? std::min(virtualSize, rawSize) : rawSize;
    if (std::uint64_t(rawAt) + n > file.size()) continue;
    sections.push_back(
        {va, std::vector<std::uint8_t>(file.begin() + rawAt, file.begin() + rawAt + n)});
  }
  return true;
}

}  // namespace ostrel
