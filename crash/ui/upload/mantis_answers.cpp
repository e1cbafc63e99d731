#include "crash/ui/upload/mantis_answers.h"

#include <utility>
#include <vector>

#include "crash/base/utf.h"

namespace ostrel::upload {

namespace {

std::u16string ChildText(const XmlElement& e, std::string_view name) {
  const XmlElement* child = e.Child(name);
  return child ? Utf8ToUtf16(child->text) : u"";
}

}  // namespace

void ReadMantisProjects(const XmlElement& returned, TrackerList& projects) {
  projects.hasIds = true;
  // Sub-projects nest as deep as the answer does; a stack keeps it flat.
  std::vector<std::pair<const XmlElement*, std::u16string>> todo;
  for (auto c = returned.children.rbegin(); c != returned.children.rend(); ++c)
    todo.emplace_back(&*c, u"");
  while (!todo.empty()) {
    const auto [item, parent] = todo.back();
    todo.pop_back();
    const std::u16string name = parent + ChildText(*item, "name");
    const std::u16string id = ChildText(*item, "id");
    if (!id.empty()) projects.Add(name, id);
    if (const XmlElement* subprojects = item->Child("subprojects"))
      for (auto c = subprojects->children.rbegin(); c != subprojects->children.rend(); ++c)
        todo.emplace_back(&*c, name + u"/");
  }
}

void ReadMantisObjects(const XmlElement& returned, TrackerList& list,
                       const std::u16string& project) {
  list.hasIds = true;
  for (const XmlElement& item : returned.children) {
    std::u16string id = ChildText(item, "id");
    if (!id.empty()) list.Add(ChildText(item, "name"), std::move(id), project);
  }
}

void ReadMantisNames(const XmlElement& returned, TrackerList& list, const std::u16string& project) {
  for (const XmlElement& item : returned.children) {
    std::u16string name = item.children.empty() ? Utf8ToUtf16(item.text) : ChildText(item, "name");
    if (!name.empty()) list.Add(std::move(name), {}, project);
  }
}

std::u16string MantisOperatingSystem(std::u16string_view os) {
  std::u16string text(os);
  if (const std::size_t build = text.find(u"build"); build != std::u16string::npos)
    text.erase(build == 0 ? 0 : build - 1);
  if (text.size() > 31) {
    std::size_t cut = 31;
    if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
    text.erase(cut);
  }
  return text;
}

}  // namespace ostrel::upload
