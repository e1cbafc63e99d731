#include "crash/settings/property_list.h"

#include <cstring>

#include "crash/settings/packed_string.h"
#include "crash/settings/shared_heap.h"

namespace ostrel {

ModuleSettingsRecord* NewModuleRecord(ModuleHandle module) {
  auto* r = static_cast<ModuleSettingsRecord*>(SharedAlloc(sizeof(ModuleSettingsRecord)));
  r->module = module;
  return r;
}

void FreeModuleRecord(ModuleSettingsRecord* record) {
  if (!record) return;
  ClearProperties(*record);
  SharedFree(record);
}

void ReserveProperties(ModuleSettingsRecord& record, std::uint32_t capacity) {
  if (capacity <= record.capacity) return;
  auto* items = static_cast<SettingsProperty*>(SharedAlloc(sizeof(SettingsProperty) * capacity));
  if (record.count) std::memcpy(items, record.items, sizeof(SettingsProperty) * record.count);
  SharedFree(record.items);
  record.items = items;
  record.capacity = capacity;
}

SettingsProperty* FindProperty(const ModuleSettingsRecord& record, std::string_view name) {
  for (std::uint32_t i = 0; i < record.count; ++i) {
    SettingsProperty& p = record.items[i];
    if (name == p.name) return &p;
  }
  return nullptr;
}

SettingsProperty& AppendProperty(ModuleSettingsRecord& record, std::string_view name,
                                 ValueKind kind) {
  if (record.count == record.capacity) ReserveProperties(record, record.capacity + kPropertyGrowth);
  auto* copy = static_cast<char*>(SharedAlloc(name.size() + 1));
  std::memcpy(copy, name.data(), name.size());
  SettingsProperty& p = record.items[record.count++];
  p = SettingsProperty{copy, kind, 0, 0, nullptr};
  return p;
}

void ClearProperties(ModuleSettingsRecord& record) {
  for (std::uint32_t i = 0; i < record.count; ++i) {
    SharedFree(record.items[i].name);
    FreePacked(record.items[i].text);
  }
  SharedFree(record.items);
  record.items = nullptr;
  record.count = record.capacity = 0;
}

void StorePacked(SettingsProperty& property, char* packed) {
  FreePacked(property.text);
  property.text = packed;
}

}  // namespace ostrel
