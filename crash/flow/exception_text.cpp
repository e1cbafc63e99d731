#include "crash/flow/exception_text.h"

namespace ostrel {

namespace {

bool IsBlankOrControl(char16_t c) { return c <= 32; }

}  // namespace

std::u16string NormaliseExceptionText(std::u16string_view message) {
  std::u16string text;
  text.reserve(message.size() + 1);
  for (char16_t c : message) {
    if (c < 32 && c != u'\r' && c != u'\n') continue;
    text.push_back(c);
  }
  std::size_t first = 0;
  while (first < text.size() && IsBlankOrControl(text[first])) ++first;
  std::size_t last = text.size();
  while (last > first && IsBlankOrControl(text[last - 1])) --last;
  text = text.substr(first, last - first);
  if (text.empty()) text = u"Unknown";
  while (!text.empty() && (text.back() == u'!' || text.back() == u'.')) text.pop_back();
  text.push_back(u'.');
  return text;
}

std::u16string ExceptionClassText(ReportKind kind, std::optional<std::u16string_view> className) {
  if (kind == ReportKind::Frozen) return u"EFrozen";
  if (!className || className->empty()) return u"Unknown";
  return std::u16string(*className);
}

}  // namespace ostrel
