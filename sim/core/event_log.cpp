#include "sim/core/event_log.h"

#include <fstream>
#include <system_error>

namespace pelmora::sim {

void EventLog::Append(std::string_view line) const {
  std::error_code ec;
  if (folder_.empty() || !std::filesystem::is_directory(folder_, ec)) return;
  std::ofstream out(folder_ / kEventLogFile, std::ios::binary | std::ios::app);
  out << line << '\n';
}

}  // namespace pelmora::sim
