// The application's plain message box: one button, titled with the
// application title.
#pragma once

#include <string>

namespace pelmora {

inline constexpr wchar_t kApplicationTitle[] = L"Pelmora";

void ShowMessage(const std::wstring& text);
void ShowMessage(const std::string& ansiText);

}  // namespace pelmora
