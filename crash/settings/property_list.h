#pragma once
// The cached properties of one module. Plain C layout on the shared heap:
// every copy of the reporter in the process reads and writes these records.

#include <cstdint>
#include <string>
#include <string_view>

#include "crash/settings/code_page.h"
#include "crash/settings/value_kind.h"

namespace ostrel {

struct SettingsProperty {
  char* name;  // NUL-terminated, compared case-sensitively
  ValueKind kind;
  std::uint8_t boolean;
  std::int32_t integer;
  char* text;  // packed string, null when empty
};

struct ModuleSettingsRecord {
  std::int32_t refCount;
  ModuleHandle module;
  std::uint32_t capacity;
  std::uint32_t count;
  SettingsProperty* items;
  ModuleSettingsRecord* next;
};

constexpr std::uint32_t kInitialPropertyCapacity = 147;
constexpr std::uint32_t kPropertyGrowth = 20;

ModuleSettingsRecord* NewModuleRecord(ModuleHandle module);
void FreeModuleRecord(ModuleSettingsRecord* record);

// Room for the first parse; an override list starts without any.
void ReserveProperties(ModuleSettingsRecord& record, std::uint32_t capacity);
// First match.
SettingsProperty* FindProperty(const ModuleSettingsRecord& record, std::string_view name);
// Appended with a zero value of the given kind.
SettingsProperty& AppendProperty(ModuleSettingsRecord& record, std::string_view name,
                                 ValueKind kind);
void ClearProperties(ModuleSettingsRecord& record);

// Replaces the text; takes ownership of the packed block.
void StorePacked(SettingsProperty& property, char* packed);

}  // namespace ostrel
