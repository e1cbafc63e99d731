#pragma once
// The list-valued settings as IReporterSettings hands them out: additional
// fields (AddFields), additional attachments (AddAttachs) and assistant
// definitions.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrel {

// A loaded module's handle (its base address); 0 stands for the executable.
using ModuleHandle = std::uintptr_t;

using NameValue = std::pair<std::u16string, std::u16string>;

// One additional attachment: "file>send as>zip>field".
struct AttachmentSpec {
  std::u16string file, sendAs, zip, field;
};

struct AssistantDefinition {
  std::u16string name, title;
  std::vector<std::u16string> pages;
  ModuleHandle module = 0;
  bool forException = false;
};

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
