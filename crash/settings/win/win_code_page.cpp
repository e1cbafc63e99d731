#include "crash/settings/win/win_code_page.h"

#include "crash/base/win/wide_text.h"

namespace ostrel {

std::string WinCodePage::Narrow(std::u16string_view text) const { return ToCodePage(text); }

std::u16string WinCodePage::Widen(std::string_view text) const { return FromCodePage(text); }

}  // namespace ostrel
