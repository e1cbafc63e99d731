#pragma once
// The list-valued keys: Plugins, AddFields, AddAttachs and the numbered
// Assistant definitions.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "crash/core/settings/value_kind.h"

namespace ostrel {

std::vector<std::u16string> SplitText(std::u16string_view text, char16_t separator);

bool PluginListContains(std::u16string_view list, std::u16string_view name);
// The list after adding or removing `name`; unchanged when membership matches.
std::u16string PluginListWith(std::u16string_view list, std::u16string_view name, bool on);

using NameValue = std::pair<std::u16string, std::u16string>;
// "name=value|name=value"; an entry without '=' has an empty value.
std::vector<NameValue> ParseFieldList(std::u16string_view text);
std::u16string JoinFieldList(const std::vector<NameValue>& fields);

struct AttachmentSpec {
  std::u16string file, sendAs, zip, field;
};
// "file>send as>zip>field|..."
std::vector<AttachmentSpec> ParseAttachmentList(std::u16string_view text);

struct AssistantDefinition {
  std::u16string name, title;
  std::vector<std::u16string> pages;
  ModuleHandle module = 0;
  bool forException = false;
};
// "name|title|page|page..."; none without a name.
std::optional<AssistantDefinition> ParseAssistantDefinition(std::u16string_view text);

// Ordered name/contents pairs with their own lock. With an owner, every
// change is written back to the owner's AddFields key.
class SettingsFieldList {
 public:
  using WriteBack = std::function<void(const std::u16string&)>;
  SettingsFieldList(std::vector<NameValue> fields, WriteBack writeBack);

  std::vector<NameValue> Fields() const;
  std::u16string Contents(std::u16string_view name) const;
  // Replaces the entry of that name, or appends one.
  void Set(std::u16string_view name, std::u16string_view contents);
  void Remove(std::u16string_view name);
  // The owner is going away.
  void DetachOwner();

 private:
  void Changed();
  mutable std::mutex lock_;
  std::vector<NameValue> fields_;
  WriteBack writeBack_;
};

class SettingsAttachmentList {
 public:
  explicit SettingsAttachmentList(std::vector<AttachmentSpec> items) : items_(std::move(items)) {}
  std::vector<AttachmentSpec> Items() const;
  void Add(AttachmentSpec item);
  void DetachOwner() {}

 private:
  mutable std::mutex lock_;
  std::vector<AttachmentSpec> items_;
};

}  // namespace ostrel
