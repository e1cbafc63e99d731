#pragma once

#include <filesystem>
#include <string_view>

namespace pelmora::sim {

inline constexpr const char* kEventLogFile = "sim-events.log";

// One UTF-8 line per event in <GoldDir>/sim-events.log, for tests to read.
// Nothing is written while the folder does not exist.
class EventLog {
 public:
  void SetFolder(std::filesystem::path folder) { folder_ = std::move(folder); }
  void Append(std::string_view line) const;

 private:
  std::filesystem::path folder_;
};

}  // namespace pelmora::sim
