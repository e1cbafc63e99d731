#include "crash/report/compose/thread_title.h"

namespace ostrel {
namespace {

std::u16string Hex(std::uint32_t value) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string text;
  do {
    text.insert(text.begin(), kDigits[value & 15]);
    value >>= 4;
  } while (value);
  return text;
}

std::u16string Decimal(int value) {
  const bool negative = value < 0;
  unsigned v = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  std::u16string text;
  do {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + v % 10));
    v /= 10;
  } while (v);
  return negative ? u"-" + text : text;
}

}  // namespace

std::u16string ThreadSectionTitle(const ThreadTitleInput& t) {
  const bool service = t.name == u"-" || t.name.rfind(u"Ostrel - ", 0) == 0;
  if (service && !t.showsTheException) return {};
  std::u16string title;
  if (t.name.empty()) {
    title = u"thread $" + Hex(t.threadId);
    if (!t.className.empty()) title += u" (" + t.className + u")";
  } else {
    title = t.name + u" ($" + Hex(t.threadId) + u")";
  }
  if (t.innerLevel >= 1) title += u", inner exception level " + Decimal(t.innerLevel);
  title += u":";
  if (t.suspended) title += u" <suspended>";
  if (t.priority != 0) title += u" <priority:" + Decimal(t.priority) + u">";
  return title;
}

}  // namespace ostrel
