#include "sim/win/ansi.h"

#include <windows.h>

namespace pelmora::sim {

namespace {

std::wstring ToWide(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string FromWide(UINT code_page, std::wstring_view wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string text(n, '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                      nullptr, nullptr);
  return text;
}

}  // namespace

std::string AnsiToUtf8(const char* ansi) {
  return ansi ? FromWide(CP_UTF8, ToWide(CP_ACP, ansi)) : std::string();
}

std::string Utf8ToAnsi(std::string_view utf8) { return FromWide(CP_ACP, ToWide(CP_UTF8, utf8)); }

std::wstring Utf8ToWide(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }

std::string WideToUtf8(std::wstring_view wide) { return FromWide(CP_UTF8, wide); }

}  // namespace pelmora::sim
