#pragma once
// The readable form of a settings resource: one "Key = value" per line.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "crash/settings/property_stream.h"

namespace ostrel {

class SourceError : public std::runtime_error {
 public:
  SourceError(int line, const std::string& message)
      : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// Values: true, false, a decimal integer, or a double-quoted UTF-8 string
// with the escapes \\ \" \r \n \t and \uXXXX. Keys keep their order and may
// repeat. Passwords are written enciphered. Throws SourceError.
std::vector<StreamProperty> ParseSettingsSource(std::string_view source);

}  // namespace ostrel
