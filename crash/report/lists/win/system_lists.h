#pragma once
// The report's three lists from the running system: the modules of this
// process, the machine's processes and its installed devices.
#include <string>

namespace ostrel {

std::u16string ListModules();
std::u16string ListProcesses();
std::u16string ListHardware();

// Four decimal numbers from the file's fixed version information, or its
// "FileVersion" string when those are 0; empty without version information.
std::u16string FormatFileVersion(const std::u16string& file);

}  // namespace ostrel
