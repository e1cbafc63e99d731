#include "crash/ui/upload/bugzilla_answers.h"

#include "crash/base/utf.h"

namespace ostrel::upload {

namespace {

const std::vector<XmlRpcValue>* ArrayMember(const XmlRpcValue& value, std::string_view name) {
  const XmlRpcValue* member = value.Member(name);
  if (member == nullptr || member->kind != XmlRpcValue::Kind::Array) return nullptr;
  return &member->items;
}

// The "name" member of each struct of an array member.
std::vector<std::u16string> Names(const XmlRpcValue& value, std::string_view arrayName) {
  std::vector<std::u16string> names;
  if (const auto* items = ArrayMember(value, arrayName))
    for (const XmlRpcValue& item : *items)
      if (const XmlRpcValue* name = item.Member("name"); name != nullptr && !name->text.empty())
        names.push_back(Utf8ToUtf16(name->text));
  return names;
}

}  // namespace

std::string BugzillaVersion(const XmlRpcValue& answer) {
  const XmlRpcValue* version = answer.Member("version");
  return version != nullptr && version->kind == XmlRpcValue::Kind::String ? version->text : "";
}

bool BugzillaIds(const XmlRpcValue& answer, std::vector<long long>& ids) {
  const auto* items = ArrayMember(answer, "ids");
  if (items == nullptr) return false;
  for (const XmlRpcValue& item : *items)
    if (item.kind == XmlRpcValue::Kind::Int) ids.push_back(item.number);
  return true;
}

void ReadBugzillaProducts(const XmlRpcValue& answer, BugzillaLists& lists) {
  const auto* products = ArrayMember(answer, "products");
  if (products == nullptr) return;
  for (const XmlRpcValue& product : *products) {
    const XmlRpcValue* name = product.Member("name");
    if (name == nullptr || name->text.empty()) continue;
    const std::u16string productName = Utf8ToUtf16(name->text);
    lists.products.Add(productName);
    for (std::u16string& c : Names(product, "components"))
      lists.components.Add(std::move(c), {}, productName);
    for (std::u16string& v : Names(product, "versions"))
      lists.versions.Add(std::move(v), {}, productName);
  }
}

void ReadBugzillaFields(const XmlRpcValue& answer, BugzillaLists& lists) {
  const auto* fields = ArrayMember(answer, "fields");
  if (fields == nullptr) return;
  auto valuesOf = [fields](std::string_view fieldName) -> const XmlRpcValue* {
    for (const XmlRpcValue& field : *fields)
      if (const XmlRpcValue* name = field.Member("name");
          name != nullptr && name->text == fieldName)
        return &field;
    return nullptr;
  };
  auto read = [&](TrackerList& list, std::string_view first, std::string_view second) {
    const XmlRpcValue* field = valuesOf(first);
    if (field == nullptr && !second.empty()) field = valuesOf(second);
    if (field == nullptr) return;
    for (std::u16string& v : Names(*field, "values")) list.Add(std::move(v));
  };
  read(lists.priorities, "priority", "");
  read(lists.severities, "bug_severity", "severity");
  read(lists.operatingSystems, "op_sys", "");
  read(lists.platforms, "rep_platform", "platform");
}

bool BugzillaNewId(const XmlRpcValue& answer, long long& id) {
  const XmlRpcValue* member = answer.Member("id");
  if (member == nullptr || member->kind != XmlRpcValue::Kind::Int) return false;
  id = member->number;
  return true;
}

}  // namespace ostrel::upload
