#pragma once
// The built-in value of every key a module's resource may leave out.

#include <cstdint>
#include <span>
#include <string_view>

#include "crash/settings/value_kind.h"

namespace ostrel {

struct DefaultSetting {
  const char* name;
  ValueKind kind;
  std::uint8_t boolean;
  std::int32_t integer;
  const char* text;  // plain 8-bit text, null when empty
};

std::span<const DefaultSetting> DefaultSettingsTable();
const DefaultSetting* FindDefaultSetting(std::string_view name);

}  // namespace ostrel
