#pragma once
// Mail addresses as the settings give them: lists separated by "," or ";",
// each address plain ("ann@example.org") or with a display name
// ("Ann Lee <ann@example.org>").

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::delivery {

// ";" becomes ",", blanks go from both ends and around every ","; the
// number of comma-separated parts (0 for an empty list).
int NormalizeAddressList(std::u16string& list);
// The normalised list's parts, empty ones left out.
std::vector<std::u16string> SplitAddressList(std::u16string_view list);

struct MailAddress {
  std::u16string name;     // empty without a display name
  std::u16string address;  // without the angle brackets
};

// The address from its first "<" to the next ">" (anything after the ">"
// dropped), the display name before the "<" without its blanks. Empty
// when there is no address, or when it holds blanks, control characters
// or angle brackets: such a text would break the command or header it
// goes into.
std::optional<MailAddress> ParseMailAddress(std::u16string_view text);

// "<" + address + ">" in UTF-8: MAIL FROM and RCPT TO.
std::string EnvelopeAddress(const MailAddress& address);

// Header tokens for FoldHeader: the display name, when there is one, as
// it is, as a quoted string, or in encoded words when it is not ASCII (or
// `forceUtf8`), then "<" + address + ">".
std::vector<std::string> HeaderAddressTokens(const MailAddress& address, bool forceUtf8);

// The sender when MailFrom is empty: "Ostrel " + the first support
// address in angle brackets; empty without one.
std::u16string DefaultSender(std::u16string_view mailAddr);

// Display name and "SMTP:" address for Simple MAPI: "Name <a@b>" gives
// "Name" and "SMTP:a@b" (anything after the ">" dropped); a bare address
// is both.
struct MapiAddress {
  std::u16string name, address;
};
MapiAddress SplitForMapi(std::u16string_view address);

// The domain part: after the last at sign, without a trailing ">".
std::u16string AddressDomain(std::u16string_view address);

}  // namespace ostrel::delivery
