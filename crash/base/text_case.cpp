#include "crash/base/text_case.h"

namespace ostrel {

namespace {

template <typename Char>
Char Lower(Char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <typename Char>
bool Equal(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

template <typename Char>
std::size_t Find(std::basic_string_view<Char> text, std::basic_string_view<Char> part,
                 std::size_t from) {
  for (std::size_t i = from; i <= text.size() && part.size() <= text.size() - i; ++i)
    if (Equal(text.substr(i, part.size()), part)) return i;
  return std::basic_string_view<Char>::npos;
}

}  // namespace

char AsciiLower(char c) { return Lower(c); }
char16_t AsciiLower(char16_t c) { return Lower(c); }
char16_t AsciiUpper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return Equal(a, b); }
bool EqualsNoCase(std::u16string_view a, std::u16string_view b) { return Equal(a, b); }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Equal(text.substr(0, prefix.size()), prefix);
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && Equal(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::u16string_view text, std::u16string_view suffix) {
  return text.size() >= suffix.size() && Equal(text.substr(text.size() - suffix.size()), suffix);
}

std::size_t FindNoCase(std::u16string_view text, std::u16string_view part, std::size_t from) {
  return Find(text, part, from);
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  return Find(text, part, 0) != std::string_view::npos;
}

bool ContainsNoCase(std::u16string_view text, std::u16string_view part) {
  return Find(text, part, 0) != std::u16string_view::npos;
}

char16_t Latin1Lower(char16_t c) {
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
  return Lower(c);
}

bool EqualsNoCaseLatin1(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareNoCaseLatin1(a, b) == 0;
}

int CompareNoCaseLatin1(std::u16string_view a, std::u16string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = Latin1Lower(a[i]), y = Latin1Lower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace ostrel
