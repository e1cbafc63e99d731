#include "crash/ui/delivery/mail_address.h"

#include "crash/base/utf.h"
#include "crash/ui/delivery/header_words.h"

namespace ostrel::delivery {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// An atom-only phrase can stand as it is; anything with one of these needs
// quoting.
bool NeedsQuoting(std::u16string_view name) {
  for (char16_t c : name)
    if (std::u16string_view(u"()<>[]:;@\\,.\"").find(c) != std::u16string_view::npos) return true;
  return false;
}

bool AlreadyQuoted(std::u16string_view name) {
  if (name.size() < 2 || name.front() != u'"' || name.back() != u'"') return false;
  for (std::size_t i = 1; i + 1 < name.size(); ++i) {
    if (name[i] == u'\\')
      ++i;
    else if (name[i] == u'"')
      return false;
  }
  // A final backslash would escape the closing quotation mark.
  std::size_t backslashes = 0;
  for (std::size_t i = name.size() - 1; i > 0 && name[i - 1] == u'\\'; --i) ++backslashes;
  return backslashes % 2 == 0;
}

}  // namespace

int NormalizeAddressList(std::u16string& list) {
  std::u16string out;
  int parts = 0;
  std::u16string_view rest = list;
  while (true) {
    const std::size_t end = rest.find_first_of(u",;");
    if (parts > 0) out += u',';
    out += Trimmed(rest.substr(0, end));
    ++parts;
    if (end == std::u16string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  list = out;
  return list.empty() ? 0 : parts;
}

std::vector<std::u16string> SplitAddressList(std::u16string_view list) {
  std::u16string normal(list);
  NormalizeAddressList(normal);
  std::vector<std::u16string> parts;
  std::u16string_view rest = normal;
  while (!rest.empty()) {
    const std::size_t end = rest.find(u',');
    if (end != 0) parts.emplace_back(rest.substr(0, end));
    if (end == std::u16string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return parts;
}

std::optional<MailAddress> ParseMailAddress(std::u16string_view text) {
  MailAddress parsed;
  const std::size_t open = text.find(u'<');
  if (open == std::u16string_view::npos) {
    parsed.address = Trimmed(text);
  } else {
    parsed.name = Trimmed(text.substr(0, open));
    const std::u16string_view inner = text.substr(open + 1);
    parsed.address = Trimmed(inner.substr(0, inner.find(u'>')));
  }
  if (parsed.address.empty()) return std::nullopt;
  for (char16_t c : parsed.address)
    if (c <= 0x20 || c == 0x7F || c == u'<' || c == u'>') return std::nullopt;
  for (char16_t c : parsed.name)
    if (c < 0x20 && c != u'\t') return std::nullopt;
  return parsed;
}

std::string EnvelopeAddress(const MailAddress& address) {
  return "<" + Utf16ToUtf8(address.address) + ">";
}

std::vector<std::string> HeaderAddressTokens(const MailAddress& address, bool forceUtf8) {
  std::vector<std::string> tokens;
  const std::u16string_view name = address.name;
  if (!name.empty()) {
    if (forceUtf8 || !IsPrintableAscii(name))
      tokens = Utf8EncodedWords(name);
    else if (NeedsQuoting(name) && !AlreadyQuoted(name))
      tokens.push_back(QuotedString(name));
    else
      tokens.push_back(Utf16ToUtf8(name));
  }
  tokens.push_back(EnvelopeAddress(address));
  return tokens;
}

std::u16string AddressDomain(std::u16string_view address) {
  const std::size_t at = address.rfind(u'@');
  std::u16string_view domain =
      at == std::u16string_view::npos ? std::u16string_view() : address.substr(at + 1);
  if (!domain.empty() && domain.back() == u'>') domain.remove_suffix(1);
  return std::u16string(Trimmed(domain));
}

std::u16string DefaultSender(std::u16string_view mailAddr) {
  const std::vector<std::u16string> all = SplitAddressList(mailAddr);
  if (all.empty()) return {};
  const std::u16string& first = all.front();
  const std::size_t open = first.find(u'<');
  return u"Ostrel " + (open == std::u16string::npos ? u"<" + first + u">" : first.substr(open));
}

MapiAddress SplitForMapi(std::u16string_view address) {
  const std::size_t open = address.find(u'<');
  if (open == std::u16string_view::npos)
    return {std::u16string(address), u"SMTP:" + std::u16string(address)};
  std::u16string_view inner = address.substr(open + 1);
  inner = inner.substr(0, inner.find(u'>'));
  return {std::u16string(Trimmed(address.substr(0, open))), u"SMTP:" + std::u16string(inner)};
}

}  // namespace ostrel::delivery
