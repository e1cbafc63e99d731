#include "crash/settings/win/win_code_page.h"

#include <windows.h>

namespace ostrel {

std::string WinCodePage::Narrow(std::u16string_view text) const {
  if (text.empty()) return {};
  const auto* w = reinterpret_cast<const wchar_t*>(text.data());
  const int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
  return out;
}

std::u16string WinCodePage::Widen(std::string_view text) const {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(n > 0 ? n : 0, u'\0');
  if (n > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                        reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

}  // namespace ostrel
