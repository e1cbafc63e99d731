#include "crash/ui/delivery/mail_addresses.h"

namespace ostrel::delivery {

namespace {

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::u16string NormalizeAddressList(std::u16string_view list, int* count) {
  std::u16string out;
  int n = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = list.find_first_of(u",;", start);
    const std::u16string_view part =
        Trim(list.substr(start, end == std::u16string_view::npos ? end : end - start));
    if (n > 0 || !part.empty() || end != std::u16string_view::npos) {
      if (n > 0) out += u',';
      out += part;
      ++n;
    }
    if (end == std::u16string_view::npos) break;
    start = end + 1;
  }
  if (count) *count = out.empty() ? 0 : n;
  return out;
}

std::u16string FirstAddress(std::u16string_view normalized) {
  return std::u16string(normalized.substr(0, normalized.find(u',')));
}

std::u16string DefaultSender(std::u16string_view mailAddr) {
  const std::u16string first = FirstAddress(NormalizeAddressList(mailAddr));
  if (first.empty()) return {};
  const std::size_t open = first.find(u'<');
  return u"Ostrel " + (open == std::u16string::npos ? u"<" + first + u">" : first.substr(open));
}

MapiAddress SplitForMapi(std::u16string_view address) {
  const std::size_t open = address.find(u'<');
  if (open == std::u16string_view::npos)
    return {std::u16string(address), u"SMTP:" + std::u16string(address)};
  std::u16string_view inner = address.substr(open + 1);
  inner = inner.substr(0, inner.find(u'>'));
  return {std::u16string(Trim(address.substr(0, open))), u"SMTP:" + std::u16string(inner)};
}

}  // namespace ostrel::delivery
