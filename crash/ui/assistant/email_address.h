#pragma once
// The contact page's check of an e-mail address: deliberately plain (one at
// sign, a dot after it, only letters, digits and + - _ ' . around it), so
// that what it accepts any mail system accepts too.

#include <string_view>

namespace ostrel::assistant {

bool IsValidEmailAddress(std::u16string_view text);

}  // namespace ostrel::assistant
