#pragma once
// The start-up integrity check of the reporter's module file and of its
// settings' module (CheckFileCrc).

#include <windows.h>

#include "ostrel/com_ptr.h"
#include "ostrel/reporter_settings.h"

namespace ostrel::rt {

void CheckModuleFiles(const ComPtr<IReporterModuleSettings>& settings, HMODULE reporter);

}  // namespace ostrel::rt
