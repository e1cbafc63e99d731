#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "sim/core/gmw_options.h"

namespace pelmora::sim {

struct DataFolder {
  std::filesystem::path gold_dir;
  std::filesystem::path common_dir;  // <GoldDir>/common
  std::string ticket;                // the log-in ticket handed out over DDE
};

// Creates GoldDir and CommonDir, (re)creates the database for --demo (with
// demo_sql) or --seed (with the script read from the file), or keeps an
// existing one, and stores a fresh ticket. A script that fails leaves the
// old database as it was.
std::optional<DataFolder> PrepareDataFolder(const GmwOptions& options, const std::string& demo_sql,
                                            const std::string& ticket, std::string* error);

}  // namespace pelmora::sim
