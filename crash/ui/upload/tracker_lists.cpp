#include "crash/ui/upload/tracker_lists.h"

#include "crash/base/text_case.h"

namespace ostrel::upload {

namespace {

std::u16string ValueOf(const TrackerList& list, const ListEntry& entry) {
  return list.hasIds ? entry.id : entry.name;
}

}  // namespace

void TrackerList::Add(std::u16string name, std::u16string id, std::u16string project) {
  entries.push_back(ListEntry{std::move(name), std::move(id), std::move(project)});
}

bool SameName(std::u16string_view a, std::u16string_view b) { return EqualsNoCaseLatin1(a, b); }

Lookup ExactLookup(const TrackerList& list, std::u16string_view wanted,
                   const std::u16string* project) {
  for (const ListEntry& e : list.entries)
    if ((project == nullptr || SameName(e.project, *project)) && SameName(e.name, wanted))
      return {Found::Match, ValueOf(list, e)};
  return {Found::None, {}};
}

Lookup PlainLookup(const TrackerList& list, std::u16string_view wanted) {
  Lookup match = ExactLookup(list, wanted);
  if (match.found == Found::Match) return match;
  if (list.entries.empty()) return {Found::None, std::u16string(wanted)};
  return {Found::First, ValueOf(list, list.entries.front())};
}

Lookup ProjectLookup(const TrackerList& list, std::u16string_view wanted,
                     std::u16string_view project) {
  const std::u16string inProject(project);
  Lookup match = ExactLookup(list, wanted, &inProject);
  if (match.found == Found::Match) return match;
  for (const ListEntry& e : list.entries)
    if (SameName(e.project, project)) return {Found::First, ValueOf(list, e)};
  return {Found::None, std::u16string(wanted)};
}

}  // namespace ostrel::upload
