// Conversion between GoldMine's 8-bit texts (ANSI code page) and UTF-16.
#pragma once

#include <string>

namespace pelmora {

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

}  // namespace pelmora
