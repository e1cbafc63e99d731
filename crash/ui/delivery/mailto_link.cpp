#include "crash/ui/delivery/mailto_link.h"

#include "crash/base/text_case.h"
#include "crash/base/utf.h"
#include "crash/ui/delivery/mail_address.h"

namespace ostrel::delivery {

std::u16string PercentEncode(std::u16string_view text) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string out;
  for (unsigned char b : Utf16ToUtf8(text)) {
    if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '.' ||
        b == '@') {
      out += static_cast<char16_t>(b);
    } else {
      out += u'%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

std::u16string MailtoLink(std::u16string_view command, std::u16string_view recipients,
                          std::u16string_view subject, std::u16string_view body) {
  std::u16string to(recipients);
  NormalizeAddressList(to);
  if (ContainsNoCase(command, u"OUTLOOK"))
    for (char16_t& c : to)
      if (c == u',') c = u';';
  return u"mailto:" + PercentEncode(to) + u"?subject=" + PercentEncode(subject) + u"&body=" +
         PercentEncode(body);
}

std::u16string MailtoCommandLine(std::u16string_view command, std::u16string_view link,
                                 std::size_t limit) {
  std::u16string line(command);
  const std::size_t at = line.find(u"%1");
  if (at != std::u16string::npos) {
    line.replace(at, 2, link);
  } else {
    if (!line.empty() && line.back() != u' ') line += u' ';
    line += link;
  }
  if (line.size() > limit) {
    // An escape is three characters: never leave "%" or "%X" at the end.
    std::size_t cut = limit;
    if (line[cut - 1] == u'%')
      cut -= 1;
    else if (cut >= 2 && line[cut - 2] == u'%')
      cut -= 2;
    line.resize(cut);
  }
  return line;
}

}  // namespace ostrel::delivery
