// Reading GoldMine's "&SysInfo" DDE reply.
#pragma once

#include <string>

namespace pelmora {

// GoldMine's program directory: the text between the first "GoldMine EXE = "
// and the first "gmw.exe" after it (both case-sensitive); empty otherwise.
std::string ProgramDirFromSysInfo(const std::string& sysInfo);

}  // namespace pelmora
