#include "crash/report/symbols/lookup.h"

#include <algorithm>
#include <string>

#include "crash/report/symbols/symbol_text.h"

namespace ostrel {

TMfSegment SegmentAt(const TMapFile& symbols, bool code, std::uint32_t address) {
  const int at = symbols.SegmentIndexAt(code, address);
  return at < 0 ? TMfSegment{} : symbols.segments[static_cast<std::size_t>(at)];
}

TMfPublic PublicAt(const TMapFile& symbols, std::uint32_t address) {
  const auto& pubs = symbols.publics;
  const auto after =
      std::upper_bound(pubs.begin(), pubs.end(), address,
                       [](std::uint32_t a, const TMfPublic& p) { return a < p.address; });
  if (after == pubs.begin()) return {};
  if (after == pubs.end() && symbols.codeTop != 0 && address >= symbols.codeTop) return {};
  return *(after - 1);
}

TLineAnswer LineAt(const TMapFile& symbols, std::uint32_t address) {
  const int segIndex = symbols.SegmentIndexAt(true, address);
  const TMfSegment* seg =
      segIndex < 0 ? nullptr : &symbols.segments[static_cast<std::size_t>(segIndex)];
  const auto& lines = symbols.lines;
  if (lines.empty()) return {seg != nullptr && seg->hasLines ? -1 : 0, 0};
  const auto after =
      std::upper_bound(lines.begin(), lines.end(), address,
                       [](std::uint32_t a, const TMfLine& l) { return a < l.address; });
  if (after == lines.begin()) return {};
  if (after == lines.end() && symbols.codeTop != 0 && address >= symbols.codeTop) return {};
  const TMfLine& entry = *(after - 1);
  if (seg == nullptr || entry.address < seg->start ||
      std::uint64_t{entry.address} > std::uint64_t{seg->start} + seg->length)
    return {};
  return {entry.line, after == lines.end() ? symbols.codeTop : after->address};
}

namespace {

std::uint32_t FindInUnit(const TMapFile& symbols, bool code, std::u16string_view unit, bool exact,
                         std::u16string_view name) {
  for (const TMfSegment& seg : symbols.segments) {
    if (seg.code != code || !EqualsNoCase(seg.unit.str(), unit)) continue;
    const auto& pubs = symbols.publics;
    auto it = std::lower_bound(pubs.begin(), pubs.end(), seg.start,
                               [](const TMfPublic& p, std::uint32_t a) { return p.address < a; });
    for (; it != pubs.end() && it->address - seg.start < seg.length; ++it) {
      if (it->code != code) continue;
      if (exact ? it->name == name : EqualsNoCase(it->name, name)) return it->address;
    }
  }
  return 0;
}

}  // namespace

std::uint32_t PublicByName(const TMapFile& symbols, bool code, std::u16string_view unit, bool exact,
                           std::u16string_view name) {
  if (const std::uint32_t found = FindInUnit(symbols, code, unit, exact, name)) return found;
  if (unit.find(u'.') != std::u16string_view::npos) return 0;
  for (std::u16string_view ext : {u".cpp", u".h", u".c"}) {
    const std::u16string withExt = std::u16string(unit) + std::u16string(ext);
    if (const std::uint32_t found = FindInUnit(symbols, code, withExt, exact, name)) return found;
  }
  return 0;
}

std::uint32_t PublicByNameInAnyUnit(const TMapFile& symbols, bool code, std::u16string_view name) {
  for (const TMfPublic& p : symbols.publics)
    if (p.code == code && EqualsNoCase(p.name, name)) return p.address;
  return 0;
}

}  // namespace ostrel
