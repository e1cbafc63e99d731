#pragma once

#include "crash/settings/code_page.h"

namespace ostrel {

// The system's ANSI code page.
class WinCodePage final : public ICodePage {
 public:
  std::string Narrow(std::u16string_view text) const override;
  std::u16string Widen(std::string_view text) const override;
};

}  // namespace ostrel
