#pragma once
// Passwords travel enciphered in the resource, keyed by the account and
// server they belong to, so they are not readable in the file as they are.

#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// Upper-case hexadecimal text.
std::u16string EncipherPassword(std::u16string_view password, std::u16string_view account,
                                std::u16string_view server);
// Empty optional when the text is not an enciphered password.
std::optional<std::u16string> DecipherPassword(std::u16string_view enciphered,
                                               std::u16string_view account,
                                               std::u16string_view server);

}  // namespace ostrel
