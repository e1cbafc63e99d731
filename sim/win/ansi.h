#pragma once

#include <string>
#include <string_view>

namespace pelmora::sim {

// Conversions at the boundary: callers speak the ANSI code page, the
// stand-in keeps UTF-8.
std::string AnsiToUtf8(const char* ansi);
std::string Utf8ToAnsi(std::string_view utf8);
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace pelmora::sim
