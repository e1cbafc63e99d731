#pragma once
// What a bug tracker lists (projects, areas, versions, users, priorities...)
// and how a configured value is matched against such a list.
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::upload {

struct ListEntry {
  std::u16string name;
  std::u16string id;       // empty where the list has none
  std::u16string project;  // the project an entry belongs to, if any
};

struct TrackerList {
  bool hasIds = false;
  std::vector<ListEntry> entries;

  void Add(std::u16string name, std::u16string id = {}, std::u16string project = {});
};

enum class Found { Match, First, None };

struct Lookup {
  Found found = Found::None;
  std::u16string value;  // the entry's id where the list has ids, else its name
};

// Names compare without regard to case (for characters below 256).
bool SameName(std::u16string_view a, std::u16string_view b);

// A match, else the list's first entry; an empty list leaves the value as
// it is (Found::None).
Lookup PlainLookup(const TrackerList& list, std::u16string_view wanted);
// The same among the entries of one project; with none of them the value
// stays as it is (Found::None).
Lookup ProjectLookup(const TrackerList& list, std::u16string_view wanted,
                     std::u16string_view project);
// A match only: the "else empty" rules.
Lookup ExactLookup(const TrackerList& list, std::u16string_view wanted,
                   const std::u16string* project = nullptr);

}  // namespace ostrel::upload
