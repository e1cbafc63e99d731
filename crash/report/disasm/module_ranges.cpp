#include "crash/report/disasm/module_ranges.h"

#include <cstring>

namespace ostrel {
namespace {

bool U32(const IMemoryReader& r, std::uint32_t at, std::uint32_t& v) {
  std::uint32_t available = 0;
  const std::uint8_t* direct = r.Direct(at, available);
  if (direct && available >= 4) {
    std::memcpy(&v, direct, 4);
    return true;
  }
  return r.Read(at, &v, 4);
}

bool U16(const IMemoryReader& r, std::uint32_t at, std::uint16_t& v) {
  std::uint32_t x = 0;
  if (!U32(r, at, x) && !r.Read(at, &x, 2)) return false;
  v = std::uint16_t(x);
  return true;
}

}  // namespace

bool ModuleRangesAt(const IMemoryReader& reader, std::uint32_t address, TModuleRanges& out) {
  TRegionInfo region;
  if (!reader.Query(address, region) || !region.allocationBase) return false;
  std::uint32_t base = region.allocationBase;
  std::uint16_t mz = 0;
  std::uint32_t pe = 0, sig = 0;
  if (!U16(reader, base, mz) || mz != 0x5A4D || !U32(reader, base + 0x3C, pe) || pe > 0x1000 ||
      !U32(reader, base + pe, sig) || sig != 0x4550)
    return false;
  std::uint32_t opt = base + pe + 24;
  std::uint16_t sections = 0, optSize = 0;
  std::uint32_t sizeOfCode = 0, sizeInit = 0, sizeUninit = 0, baseOfCode = 0, baseOfData = 0,
                sizeOfImage = 0;
  if (!U16(reader, base + pe + 6, sections) || !U16(reader, base + pe + 20, optSize) ||
      !U32(reader, opt + 4, sizeOfCode) || !U32(reader, opt + 8, sizeInit) ||
      !U32(reader, opt + 12, sizeUninit) || !U32(reader, opt + 20, baseOfCode) ||
      !U32(reader, opt + 24, baseOfData) || !U32(reader, opt + 56, sizeOfImage))
    return false;
  out = {};
  out.base = base;
  out.size = sizeOfImage;
  // First section a code section: its range, extended by a second code section.
  std::uint32_t table = opt + optSize;
  std::uint32_t chars = 0, va = 0, vsize = 0;
  bool firstIsCode = sections > 0 && U32(reader, table + 36, chars) && (chars & 0x20) &&
                     U32(reader, table + 12, va) && U32(reader, table + 8, vsize);
  if (firstIsCode) {
    out.codeBegin = base + va;
    out.codeEnd = base + va + vsize;
    std::uint32_t chars2 = 0, va2 = 0, vsize2 = 0;
    if (sections > 1 && U32(reader, table + 40 + 36, chars2) && (chars2 & 0x20) &&
        U32(reader, table + 40 + 12, va2) && U32(reader, table + 40 + 8, vsize2))
      out.codeEnd = base + va2 + vsize2;
  } else {
    out.codeBegin = base + baseOfCode;
    out.codeEnd = out.codeBegin + sizeOfCode;
  }
  out.dataBegin = base + baseOfData;
  out.dataEnd = out.dataBegin + sizeInit + sizeUninit;
  return true;
}

namespace {

bool FullModuleImageAt(const IMemoryReader& reader, std::uint32_t address, std::uint32_t& base,
                       std::uint32_t& size) {
  TModuleRanges m;
  if (!ModuleRangesAt(reader, address, m)) return false;
  base = m.base;
  size = m.size;
  return true;
}

}  // namespace

bool ModuleImageAt(const IMemoryReader& reader, std::uint32_t address, std::uint32_t& base,
                   std::uint32_t& size) {
  TRegionInfo region;
  if (!reader.Query(address, region) || !region.allocationBase) return false;
  // The DOS header, then the PE header up to SizeOfImage, in place or as two copies. When
  // either cannot be had whole, the field-by-field reads decide.
  constexpr std::uint32_t kPeBytes =
      24 + 60;  // signature, file header, optional header to SizeOfImage
  std::uint32_t at = region.allocationBase, available = 0;
  std::uint8_t dos[0x40], pe[kPeBytes];
  const std::uint8_t* d = reader.Direct(at, available);
  if (!d || available < sizeof dos) {
    if (!reader.Read(at, dos, sizeof dos)) return FullModuleImageAt(reader, address, base, size);
    d = dos;
    available = sizeof dos;
  }
  std::uint32_t peAt = 0;
  std::memcpy(&peAt, d + 0x3C, 4);
  if (d[0] != 'M' || d[1] != 'Z' || peAt > 0x1000) return false;
  const std::uint8_t* p = nullptr;
  if (available >= peAt + kPeBytes) {
    p = d + peAt;
  } else if (reader.Read(at + peAt, pe, kPeBytes)) {
    p = pe;
  } else {
    return FullModuleImageAt(reader, address, base, size);
  }
  std::uint32_t signature = 0;
  std::memcpy(&signature, p, 4);
  if (signature != 0x4550) return false;
  base = at;
  std::memcpy(&size, p + 24 + 56, 4);
  return true;
}

}  // namespace ostrel
