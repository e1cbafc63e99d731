#include "crash/report/symbols/map_file.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>

#include "crash/report/symbols/demangle.h"
#include "crash/report/symbols/symbol_text.h"

namespace ostrel {

TUnitName::TUnitName(std::u16string_view name) {
  if (name.empty()) return;
  // Never destroyed: segments of any module point into it for good.
  static auto* pool = new std::unordered_set<std::u16string>;
  static auto* lock = new std::mutex;
  std::lock_guard<std::mutex> hold(*lock);
  name_ = &*pool->emplace(name).first;
}

const std::u16string& TUnitName::str() const {
  static const std::u16string none;
  return name_ ? *name_ : none;
}

namespace {

bool SegmentLess(const TMfSegment& a, const TMfSegment& b) {
  if (a.code != b.code) return a.code;  // code segments first
  if (a.start != b.start) return a.start < b.start;
  return a.length > b.length;
}

std::uint64_t EndOf(const TMfSegment& s) { return std::uint64_t{s.start} + s.length; }

}  // namespace

void TMapFile::ClearSymbols() {
  segments.clear();
  publics.clear();
  lines.clear();
  lastSegment[0] = lastSegment[1] = -1;
  entryPoint = 0;
  segmentsSorted_ = true;
}

void TMapFile::AddSegment(bool code, bool addBase, bool sort, bool merge, std::u16string_view unit,
                          std::uint32_t length, std::uint32_t start) {
  if (codeOnly && !code) return;
  std::u16string name = StripSourceExtension(unit);
  if (addBase) start += code ? codeBase : dataBase;
  const int kind = code ? 1 : 0;
  if (merge && lastSegment[kind] >= 0) {
    TMfSegment& last = segments[static_cast<std::size_t>(lastSegment[kind])];
    const std::uint64_t lastEnd = EndOf(last);
    if (EqualsNoCase(last.unit.str(), name) && start >= last.start && start <= lastEnd + 2) {
      const std::uint64_t end = std::max(lastEnd, std::uint64_t{start} + length);
      last.length = static_cast<std::uint32_t>(end - last.start);
      return;
    }
  }
  TMfSegment segment{true, code, start, length, TUnitName(name), false};
  if (sort && segmentsSorted_) {
    const auto at = std::upper_bound(segments.begin(), segments.end(), segment, SegmentLess);
    const auto index = at - segments.begin();
    if (static_cast<std::size_t>(segments.size()) == segments.capacity())
      segments.reserve(segments.capacity() == 0 ? 16 : segments.capacity() * 3 / 2);
    segments.insert(segments.begin() + index, std::move(segment));
    for (int& last : lastSegment)
      if (last >= index) ++last;
    lastSegment[kind] = static_cast<int>(index);
    return;
  }
  if (!segments.empty() && SegmentLess(segment, segments.back())) segmentsSorted_ = false;
  GrowingPush(segments, std::move(segment));
  lastSegment[kind] = static_cast<int>(segments.size() - 1);
}

void TMapFile::AddPublic(bool code, std::u16string_view name, bool extendSegments,
                         std::uint32_t address) {
  if (codeOnly && !code) return;
  if (name.size() > 4 && name.substr(0, 3) == u"@$x" && name[4] == u'$') return;
  TDemangled demangled = DemangleName(name);
  std::u16string text = std::move(demangled.name);
  if (text.substr(0, 2) == u"@@") text.erase(0, 2);
  address += code ? codeBase : dataBase;
  if (!segmentsSorted_) SortSegments();
  const int at = SegmentIndexAt(code, address);
  if (at >= 0) {
    const std::u16string& unit = segments[static_cast<std::size_t>(at)].unit;
    if (!unit.empty()) {
      if (text.size() > unit.size() + 1 && text[unit.size()] == u'.' &&
          StartsWithNoCase(text, unit)) {
        text.erase(0, unit.size() + 1);
      } else if (EqualsNoCase(text, unit)) {
        text = u"initialization";
      }
      if (!demangled.unit.empty() && EqualsNoCase(demangled.unit, unit)) demangled.unit.clear();
    }
  }
  if (!demangled.unit.empty()) text = demangled.unit + u"." + text;
  if (extendSegments) {
    const int kind = code ? 1 : 0;
    const int last = lastSegment[kind];
    const std::u16string_view unit = demangled.unit;
    if (last >= 0 &&
        (unit.empty() || EqualsNoCase(segments[static_cast<std::size_t>(last)].unit.str(), unit))) {
      TMfSegment& seg = segments[static_cast<std::size_t>(last)];
      if (address >= seg.start && address - seg.start >= seg.length)
        seg.length = address - seg.start + 1;
    } else {
      AddSegment(code, false, false, false, unit, 1, address);
    }
  }
  GrowingPush(publics, TMfPublic{true, code, std::move(text), address});
}

void TMapFile::AppendLineRecord(std::int32_t line, std::uint32_t address, bool ascendingOnly) {
  if (ascendingOnly && !lines.empty() && address <= lines.back().address) return;
  GrowingPush(lines, TMfLine{line, address});
}

void TMapFile::SortSegments() {
  std::stable_sort(segments.begin(), segments.end(), SegmentLess);
  segmentsSorted_ = true;
  lastSegment[0] = lastSegment[1] = -1;
  for (std::size_t i = 0; i < segments.size(); ++i)
    lastSegment[segments[i].code ? 1 : 0] = static_cast<int>(i);
}

void TMapFile::TidySegments(bool firstPass) {
  if (!segmentsSorted_) SortSegments();
  std::vector<TMfSegment> kept;
  kept.reserve(segments.size());
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const TMfSegment& s = segments[i];
    const bool hasNext = i + 1 < segments.size() && segments[i + 1].code == s.code;
    if (s.length == 0 || (hasNext && segments[i + 1].start == s.start)) continue;
    kept.push_back(s);
  }
  for (std::size_t i = 0; i + 1 < kept.size(); ++i) {
    TMfSegment& s = kept[i];
    const TMfSegment& next = kept[i + 1];
    if (next.code != s.code) continue;
    if (!firstPass || EndOf(s) >= next.start) s.length = next.start - s.start;
  }
  std::vector<TMfSegment> merged;
  merged.reserve(kept.size());
  for (TMfSegment& s : kept) {
    if (!merged.empty() && merged.back().code == s.code &&
        EqualsNoCase(merged.back().unit.str(), s.unit.str()) && EndOf(merged.back()) >= s.start) {
      TMfSegment& m = merged.back();
      m.length = static_cast<std::uint32_t>(std::max(EndOf(m), EndOf(s)) - m.start);
      m.hasLines = m.hasLines || s.hasLines;
      continue;
    }
    merged.push_back(std::move(s));
  }
  segments = std::move(merged);
  SortSegments();
}

void TMapFile::SortPublics() {
  std::stable_sort(publics.begin(), publics.end(),
                   [](const TMfPublic& a, const TMfPublic& b) { return a.address < b.address; });
}

void TMapFile::SortLines() {
  std::stable_sort(lines.begin(), lines.end(),
                   [](const TMfLine& a, const TMfLine& b) { return a.address < b.address; });
}

int TMapFile::SegmentIndexAt(bool code, std::uint32_t address) const {
  // Code segments come first; bisect within the kind asked for.
  const auto kindBegin = std::partition_point(segments.begin(), segments.end(),
                                              [](const TMfSegment& s) { return s.code; });
  auto first = code ? segments.begin() : kindBegin;
  auto last = code ? kindBegin : segments.end();
  auto after = std::upper_bound(first, last, address,
                                [](std::uint32_t a, const TMfSegment& s) { return a < s.start; });
  if (after == first) return -1;
  const auto& s = *(after - 1);
  if (address - s.start >= s.length) return -1;
  return static_cast<int>((after - 1) - segments.begin());
}

}  // namespace ostrel
