#pragma once
// The support mailbox's addresses as the settings hold them ("a@x; Name
// <b@y>") and as each way of sending needs them.

#include <string>
#include <string_view>

namespace ostrel::delivery {

// ";" becomes ",", blanks round the whole and round every "," go; the
// number of addresses is returned through `count`.
std::u16string NormalizeAddressList(std::u16string_view list, int* count = nullptr);

// The first address of a normalised list.
std::u16string FirstAddress(std::u16string_view normalized);

// The sender when MailFrom is empty: "Ostrel " + the first support
// address in angle brackets; empty without one.
std::u16string DefaultSender(std::u16string_view mailAddr);

// Display name and "SMTP:" address for Simple MAPI: "Name <a@b>" gives
// "Name" and "SMTP:a@b"; a bare address is both.
struct MapiAddress {
  std::u16string name, address;
};
MapiAddress SplitForMapi(std::u16string_view address);

}  // namespace ostrel::delivery
