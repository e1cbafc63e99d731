#pragma once
// The reporter's UTF-16 texts and the system's wide strings: the same code
// units on Windows, so only the type changes. 8-bit texts in a code page go
// through the system's conversion.

#include <windows.h>

#include <string>
#include <string_view>

namespace ostrel {

// For a call that reads the text while it lives.
inline const wchar_t* WidePtr(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::wstring Wide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}
inline std::u16string FromWide(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}
// A null pointer is an empty text.
inline std::u16string FromWide(const wchar_t* text) {
  return text ? FromWide(std::wstring_view(text)) : std::u16string();
}

// Bytes in the code page (CP_ACP: the system's ANSI code page) and back;
// what the code page cannot hold becomes its default character.
std::u16string FromCodePage(std::string_view text, UINT codePage = CP_ACP);
std::string ToCodePage(std::u16string_view text, UINT codePage = CP_ACP);

}  // namespace ostrel
