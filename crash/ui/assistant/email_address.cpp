#include "crash/ui/assistant/email_address.h"

namespace ostrel::assistant {

namespace {

bool IsBlankOrControl(char16_t c) { return c <= u' ' || c == 0x7f; }

bool IsPlainCharacter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'+' || c == u'-' || c == u'_' || c == u'\'';
}

}  // namespace

bool IsValidEmailAddress(std::u16string_view text) {
  if (text.empty() || IsBlankOrControl(text.front()) || IsBlankOrControl(text.back())) return false;
  const std::size_t firstAt = text.find(u'@');
  if (firstAt == std::u16string_view::npos || firstAt == 0) return false;
  if (text.find(u'.', firstAt + 1) == std::u16string_view::npos) return false;
  if (text.front() == u'.' || text.back() == u'.') return false;
  const std::size_t lastAt = text.rfind(u'@');
  if (lastAt + 1 < text.size() && text[lastAt + 1] == u'.') return false;
  // What is left after the plain characters and then the dots must be
  // exactly one at sign, and each step must have removed something.
  std::size_t plain = 0, dots = 0, ats = 0, other = 0;
  for (char16_t c : text) {
    if (IsPlainCharacter(c))
      ++plain;
    else if (c == u'.')
      ++dots;
    else if (c == u'@')
      ++ats;
    else
      ++other;
  }
  return plain > 0 && dots > 0 && ats == 1 && other == 0;
}

}  // namespace ostrel::assistant
