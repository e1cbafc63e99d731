#include "crash/settings/settings_lists.h"

namespace ostrel {

std::vector<std::u16string> SplitText(std::u16string_view text, char16_t separator) {
  std::vector<std::u16string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    out.emplace_back(text.substr(start, at == std::u16string_view::npos ? at : at - start));
    if (at == std::u16string_view::npos) return out;
    start = at + 1;
  }
}

bool PluginListContains(std::u16string_view list, std::u16string_view name) {
  if (name.empty()) return false;
  for (const auto& item : SplitText(list, u'|'))
    if (item == name) return true;
  return false;
}

std::u16string PluginListWith(std::u16string_view list, std::u16string_view name, bool on) {
  if (name.empty() || PluginListContains(list, name) == on) return std::u16string(list);
  if (on)
    return list.empty() ? std::u16string(name) : std::u16string(list) + u"|" + std::u16string(name);
  std::u16string bars = u"|" + std::u16string(list) + u"|";
  const std::u16string needle = u"|" + std::u16string(name) + u"|";
  for (std::size_t at; (at = bars.find(needle)) != std::u16string::npos;)
    bars.replace(at, needle.size(), u"|");
  std::size_t from = 0, to = bars.size();
  while (from < to && bars[from] == u'|') ++from;
  while (to > from && bars[to - 1] == u'|') --to;
  return bars.substr(from, to - from);
}

std::vector<NameValue> ParseFieldList(std::u16string_view text) {
  std::vector<NameValue> out;
  if (text.empty()) return out;
  for (const auto& entry : SplitText(text, u'|')) {
    if (entry.empty()) continue;
    const std::size_t eq = entry.find(u'=');
    if (eq == std::u16string::npos)
      out.emplace_back(entry, u"");
    else
      out.emplace_back(entry.substr(0, eq), entry.substr(eq + 1));
  }
  return out;
}

std::u16string JoinFieldList(const std::vector<NameValue>& fields) {
  std::u16string out;
  for (const auto& [name, contents] : fields) {
    if (!out.empty()) out += u'|';
    out += name + u"=" + contents;
  }
  return out;
}

std::vector<AttachmentSpec> ParseAttachmentList(std::u16string_view text) {
  std::vector<AttachmentSpec> out;
  if (text.empty()) return out;
  for (const auto& entry : SplitText(text, u'|')) {
    if (entry.empty()) continue;
    auto parts = SplitText(entry, u'>');
    parts.resize(4);
    out.push_back({parts[0], parts[1], parts[2], parts[3]});
  }
  return out;
}

std::optional<AssistantDefinition> ParseAssistantDefinition(std::u16string_view text) {
  auto parts = SplitText(text, u'|');
  if (parts.empty() || parts[0].empty()) return std::nullopt;
  AssistantDefinition def;
  def.name = parts[0];
  if (parts.size() > 1) def.title = parts[1];
  for (std::size_t i = 2; i < parts.size(); ++i)
    if (!parts[i].empty()) def.pages.push_back(parts[i]);
  return def;
}

SettingsFieldList::SettingsFieldList(std::vector<NameValue> fields, WriteBack writeBack)
    : fields_(std::move(fields)), writeBack_(std::move(writeBack)) {}

std::vector<NameValue> SettingsFieldList::Fields() const {
  std::lock_guard g(lock_);
  return fields_;
}

std::u16string SettingsFieldList::Contents(std::u16string_view name) const {
  std::lock_guard g(lock_);
  for (const auto& f : fields_)
    if (f.first == name) return f.second;
  return {};
}

void SettingsFieldList::Set(std::u16string_view name, std::u16string_view contents) {
  std::unique_lock g(lock_);
  bool found = false;
  for (auto& f : fields_) {
    if (f.first == name) {
      f.second = contents;
      found = true;
      break;
    }
  }
  if (!found) fields_.emplace_back(name, contents);
  Changed();
}

void SettingsFieldList::Remove(std::u16string_view name) {
  std::unique_lock g(lock_);
  std::erase_if(fields_, [&](const NameValue& f) { return f.first == name; });
  Changed();
}

void SettingsFieldList::DetachOwner() {
  std::lock_guard g(lock_);
  writeBack_ = nullptr;
}

void SettingsFieldList::Changed() {
  if (writeBack_) writeBack_(JoinFieldList(fields_));
}

std::vector<AttachmentSpec> SettingsAttachmentList::Items() const {
  std::lock_guard g(lock_);
  return items_;
}

void SettingsAttachmentList::Add(AttachmentSpec item) {
  std::lock_guard g(lock_);
  items_.push_back(std::move(item));
}

}  // namespace ostrel
