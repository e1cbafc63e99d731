#include "crash/report/symbols/td32_reader.h"

#include <cstring>
#include <string>
#include <vector>

#include "crash/report/symbols/pe_image.h"
#include "crash/report/symbols/symbol_text.h"

namespace ostrel {
namespace {

constexpr std::uint16_t kModule = 0x120;
constexpr std::uint16_t kAlignSymbols = 0x125;
constexpr std::uint16_t kSourceModule = 0x127;
constexpr std::uint16_t kGlobalSymbols = 0x129;
constexpr std::uint16_t kNames = 0x130;

struct Subsection {
  std::uint16_t type = 0;
  std::span<const std::uint8_t> data;
};

// Offsets and sizes come from the data: 64-bit, so that products and sums
// cannot wrap in a 32-bit process.
bool Has(std::span<const std::uint8_t> d, std::uint64_t at, std::uint64_t n) {
  return at <= d.size() && d.size() - at >= n;
}

std::vector<Subsection> Directory(std::span<const std::uint8_t> d) {
  std::vector<Subsection> out;
  const std::uint32_t dir = ReadLe32(d, 4);
  if (!Has(d, dir, 16)) return out;
  const std::uint16_t headerSize = ReadLe16(d, dir);
  const std::uint16_t entrySize = ReadLe16(d, dir + 2);
  const std::uint32_t count = ReadLe32(d, dir + 4);
  if (entrySize < 12 || !Has(d, std::uint64_t{dir} + headerSize, std::uint64_t{count} * entrySize))
    return out;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t e = dir + headerSize + std::size_t{i} * entrySize;
    const std::uint32_t at = ReadLe32(d, e + 4), size = ReadLe32(d, e + 8);
    if (Has(d, at, size)) out.push_back({ReadLe16(d, e), d.subspan(at, size)});
  }
  return out;
}

class Td32 {
 public:
  Td32(TMapFile& m, std::vector<Subsection> subs) : m_(m), subs_(std::move(subs)) {}

  void Run(bool fb0a) {
    for (const auto& s : subs_)
      if (s.type == kNames) Names(s.data);
    for (const auto& s : subs_)
      if (s.type == kModule) Module(s.data);
    for (const auto& s : subs_)
      if (s.type == kSourceModule) Source(s.data);
    m_.SortSegments();
    m_.TidySegments(true);
    for (const auto& s : subs_) {
      if (s.type == (fb0a ? kGlobalSymbols : kAlignSymbols))
        Symbols(s.data.subspan(std::min<std::size_t>(s.data.size(), fb0a ? 16 : 4)));
    }
    m_.SortSegments();
    m_.TidySegments(false);
    m_.SortPublics();
  }

 private:
  std::u16string Name(std::uint32_t index) const {
    return index == 0 || index > names_.size() ? std::u16string() : names_[index - 1];
  }

  void Names(std::span<const std::uint8_t> d) {
    const std::uint32_t count = ReadLe32(d, 0);
    std::size_t at = 4;
    for (std::uint32_t i = 0; i < count && Has(d, at, 1); ++i) {
      const std::uint8_t n = d[at];
      if (!Has(d, at + 1, n + 1u)) break;
      names_.push_back(
          Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(d.data() + at + 1), n)));
      at += 2u + n;
    }
  }

  // Overlay, library, segment count, style, name, time, reserved; segments.
  void Module(std::span<const std::uint8_t> d) {
    if (!Has(d, 0, 28)) return;
    const std::uint16_t count = ReadLe16(d, 4);
    const std::u16string unit(FileNamePart(Name(ReadLe32(d, 8))));
    for (std::uint16_t i = 0; i < count && Has(d, 28 + i * 12u, 12); ++i) {
      const std::size_t s = 28 + i * 12u;
      const std::uint16_t kind = ReadLe16(d, s + 2);
      const std::uint32_t offset = ReadLe32(d, s + 4), length = ReadLe32(d, s + 8);
      if (length != 0 && kind != 0) m_.AddSegment(true, true, false, true, unit, length, offset);
    }
  }

  // Files, then per file its line blocks of offsets and line numbers.
  void Source(std::span<const std::uint8_t> d) {
    if (!Has(d, 0, 4)) return;
    const std::uint16_t files = ReadLe16(d, 0);
    for (std::uint16_t f = 0; f < files && Has(d, 4 + f * 4u, 4); ++f) {
      const std::uint32_t file = ReadLe32(d, 4 + f * 4u);
      if (!Has(d, file, 6)) continue;
      const std::uint16_t blocks = ReadLe16(d, file);
      const std::u16string unit(FileNamePart(Name(ReadLe32(d, file + 2))));
      std::uint32_t low = 0xFFFFFFFFu, high = 0;
      for (std::uint16_t b = 0; b < blocks && Has(d, std::uint64_t{file} + 6 + b * 4u, 4); ++b) {
        const std::uint32_t block = ReadLe32(d, file + 6 + b * 4u);
        if (!Has(d, block, 4)) continue;
        const std::uint16_t pairs = ReadLe16(d, block + 2);
        if (!Has(d, std::uint64_t{block} + 4, pairs * 6u)) continue;
        for (std::uint16_t p = 0; p < pairs; ++p) {
          const std::uint32_t offset = ReadLe32(d, block + 4 + p * 4u);
          const std::uint16_t line = ReadLe16(d, block + 4 + pairs * 4u + p * 2u);
          low = std::min(low, offset);
          high = std::max(high, offset);
          m_.AppendLineRecord(line, m_.codeBase + offset, false);
        }
      }
      if (low <= high) m_.AddSegment(true, true, false, false, unit, high - low + 1, low);
    }
  }

  void Symbols(std::span<const std::uint8_t> d) {
    std::size_t at = 0;
    while (Has(d, at, 4)) {
      const std::uint16_t length = ReadLe16(d, at);
      const std::uint16_t type = ReadLe16(d, at + 2);
      if (length < 2 || !Has(d, at + 2, length)) break;
      const auto body = d.subspan(at + 4, length - 2u);
      // Procedures: parent, end, next, size, debug start and end, then
      // offset, segment, flags, type, name. Data: offset, segment, flags,
      // type, name.
      if ((type == 0x204 || type == 0x205) && body.size() >= 40) {
        m_.AddPublic(true, Name(ReadLe32(body, 36)), false, ReadLe32(body, 24));
      } else if (type == 0x20 && body.size() >= 16) {
        m_.AddPublic(true, Name(ReadLe32(body, 12)), false, ReadLe32(body, 0));
      } else if ((type == 0x201 || type == 0x202 || type == 0x21) && body.size() >= 16) {
        m_.AddPublic(false, Name(ReadLe32(body, 12)), false, ReadLe32(body, 0));
      }
      at += 2u + length;
    }
  }

  TMapFile& m_;
  std::vector<Subsection> subs_;
  std::vector<std::u16string> names_;
};

}  // namespace

bool ReadTd32(TMapFile& symbols, std::span<const std::uint8_t> data, bool fb0aOnly) {
  if (data.size() < 8) return false;
  const bool fb0a = std::memcmp(data.data(), "FB0A", 4) == 0;
  const bool fb09 = std::memcmp(data.data(), "FB09", 4) == 0;
  if (!fb0a && !(fb09 && !fb0aOnly)) return false;
  TMapFile work = symbols;
  work.ClearSymbols();
  Td32(work, Directory(data)).Run(fb0a);
  if (work.segments.empty() && work.publics.empty() && work.lines.empty()) return false;
  work.valid = true;
  symbols = std::move(work);
  return true;
}

}  // namespace ostrel
