#pragma once
// The running system's version, as reports and placeholders name it
// (crash/settings/windows_name.h makes the name).

#include <optional>

#include "crash/settings/windows_name.h"

namespace ostrel {

// Asked once per process; empty when the system answers no version call.
const std::optional<WindowsVersion>& RunningWindows();

}  // namespace ostrel
