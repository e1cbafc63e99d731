#pragma once
// Lists every key of a settings stream as the program reads it.

#include <cstdint>
#include <span>
#include <string>

namespace ostrel {

struct DumpOptions {
  bool showPasswords = false;
};

struct DumpResult {
  std::string text;
  bool resourceUsable = false;  // a settings stream, read to its end
};

// `stream` null: the module has no settings resource.
DumpResult DumpSettings(const std::span<const std::uint8_t>* stream, const DumpOptions& options);

}  // namespace ostrel
