#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// Malformed sequences become U+FFFD; nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view in);
std::string Utf16ToUtf8(std::u16string_view in);
// Each byte as the code unit of the same value: ASCII and Latin-1 texts.
std::u16string AsciiToUtf16(std::string_view in);

}  // namespace ostrel
