#include "crash/ui/upload/mail_address.h"

#include "crash/ui/delivery/mail_address.h"

namespace ostrel::upload {

std::u16string AddressPart(std::u16string_view address) {
  const std::size_t open = address.find(u'<');
  if (open == std::u16string_view::npos) return u"<" + std::u16string(address) + u">";
  return std::u16string(address.substr(open));
}

std::u16string BareAddresses(std::u16string_view list) {
  std::u16string out;
  bool first = true;
  for (const std::u16string& part : delivery::SplitAddressList(list)) {
    if (!first) out += u',';
    first = false;
    for (char16_t c : AddressPart(part))
      if (c != u'<' && c != u'>') out += c;
  }
  return out;
}

}  // namespace ostrel::upload
