#pragma once
// The system's 8-bit code page, in which stored 8-bit texts are read.

#include <string>
#include <string_view>

namespace ostrel {

class ICodePage {
 public:
  virtual ~ICodePage() = default;
  // Characters the code page lacks become '?'.
  virtual std::string Narrow(std::u16string_view text) const = 0;
  virtual std::u16string Widen(std::string_view text) const = 0;
};

// ISO 8859-1: the stand-in for the system code page off Windows.
class Latin1CodePage final : public ICodePage {
 public:
  std::string Narrow(std::u16string_view text) const override;
  std::u16string Widen(std::string_view text) const override;
};

}  // namespace ostrel
