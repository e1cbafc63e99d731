#include "goldmine/sysinfo.h"

namespace pelmora {

std::string ProgramDirFromSysInfo(const std::string& sysInfo) {
  static const std::string kMarker = "GoldMine EXE = ";
  static const std::string kProgram = "gmw.exe";
  const auto marker = sysInfo.find(kMarker);
  if (marker == std::string::npos) return {};
  const auto program = sysInfo.find(kProgram, marker + 1);
  if (program == std::string::npos) return {};
  const auto start = marker + kMarker.size();
  if (program <= start) return {};
  return sysInfo.substr(start, program - start);
}

}  // namespace pelmora
