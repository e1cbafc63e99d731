// Symbol information of one module: units (segments), publics and lines, as
// every symbol source fills it and every lookup reads it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// A unit's name, one copy per distinct name for the whole process: a
// program has tens of thousands of segments but few units, and a copy per
// segment took megabytes when symbols were first loaded in a crash.
class TUnitName {
 public:
  TUnitName() = default;
  TUnitName(std::u16string_view name);  // NOLINT: names convert freely
  const std::u16string& str() const;
  operator const std::u16string&() const { return str(); }  // NOLINT
  bool empty() const { return str().empty(); }
  std::size_t size() const { return str().size(); }
  friend bool operator==(const TUnitName& a, std::u16string_view b) { return a.str() == b; }

 private:
  const std::u16string* name_ = nullptr;  // in the process's pool, never freed
};

struct TMfSegment {
  bool valid = false;
  bool code = false;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
  TUnitName unit;
  bool hasLines = false;  // minimal data: the unit had line numbers
};

struct TMfPublic {
  bool valid = false;
  bool code = false;
  std::u16string name;
  std::uint32_t address = 0;
};

struct TMfLine {
  std::int32_t line = 0;
  std::uint32_t address = 0;
};

class TMapFile {
 public:
  bool valid = false;
  bool codeOnly = true;
  std::uintptr_t moduleHandle = 0;
  std::u16string moduleFileName;  // full path
  std::u16string lookupName;      // the file the information was looked for under
  std::uint32_t codeBase = 0;
  std::uint32_t codeTop = 0;
  std::uint32_t dataBase = 0;
  std::uint32_t dataTop = 0;
  std::uint32_t entryPoint = 0;
  std::vector<TMfSegment> segments;
  int lastSegment[2] = {-1, -1};  // [data, code]
  std::vector<TMfPublic> publics;
  std::vector<TMfLine> lines;
  std::string stamp;  // minimal-debug-info stamp, 31 characters or empty
  std::uint32_t pdbCorrection = 0;

  // Drops segments, publics, lines and the entry point; keeps module and ranges.
  void ClearSymbols();

  void AddSegment(bool code, bool addBase, bool sort, bool merge, std::u16string_view unit,
                  std::uint32_t length, std::uint32_t start);
  // address is relative to the code (or data) base.
  void AddPublic(bool code, std::u16string_view name, bool extendSegments, std::uint32_t address);
  void AppendLineRecord(std::int32_t line, std::uint32_t address, bool ascendingOnly);

  void SortSegments();
  // firstPass: segments are only cut where they overlap the next one.
  void TidySegments(bool firstPass);
  void SortPublics();
  void SortLines();

  // Index of the segment of the given kind holding address, or -1.
  int SegmentIndexAt(bool code, std::uint32_t address) const;

 private:
  bool segmentsSorted_ = true;
};

// Appends with the growth the loaders expect: 16 first, then by half.
template <typename T>
void GrowingPush(std::vector<T>& items, T item) {
  if (items.size() == items.capacity())
    items.reserve(items.capacity() == 0 ? 16 : items.capacity() + items.capacity() / 2);
  items.push_back(std::move(item));
}

}  // namespace ostrel
