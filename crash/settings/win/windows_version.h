#pragma once
// The running system's version, as reports and placeholders name it.

#include <windows.h>

namespace ostrel {

// As the system itself states it: GetVersionEx lies to programs whose
// manifest names no newer system, so RtlGetVersion is asked first. False
// when neither answers.
bool ReadWindowsVersion(OSVERSIONINFOEXW& out);
// The family name: "Windows 7", "Windows 2008 R2", "Windows 10", ...
const char16_t* WindowsName(const OSVERSIONINFOEXW& version);

}  // namespace ostrel
