#pragma once
// The sender and recipient texts as a plain upload sends them; the lists
// are normalised as the mail delivery does it.
#include <string>
#include <string_view>

namespace ostrel::upload {

// The address as a header's address part: one without "<" in angle
// brackets, one with "<" from there on ("Ann <a@b.c>" gives "<a@b.c>").
std::u16string AddressPart(std::u16string_view address);

// Each address of the list reduced to the bare address, without display
// name or angle brackets, joined with ","; empty parts are left out.
// Reduced one by one, so that a list keeps every address and not only the
// last one's angle brackets.
std::u16string BareAddresses(std::u16string_view list);

}  // namespace ostrel::upload
