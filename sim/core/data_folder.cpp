#include "sim/core/data_folder.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "sim/core/database.h"

namespace pelmora::sim {

std::optional<DataFolder> PrepareDataFolder(const GmwOptions& options, const std::string& demo_sql,
                                            const std::string& ticket, std::string* error) {
  DataFolder folder;
  folder.gold_dir = std::filesystem::absolute(PathFromUtf8(options.data));
  folder.common_dir = folder.gold_dir / "common";
  folder.ticket = ticket;
  std::optional<std::string> script;
  if (options.demo) script = demo_sql;
  if (options.seed) {
    std::ifstream in(PathFromUtf8(*options.seed), std::ios::binary);
    if (!in) {
      *error = "cannot read seed file " + *options.seed;
      return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    script = text.str();
  }
  std::error_code ec;
  std::filesystem::create_directories(folder.common_dir, ec);
  if (ec) {
    *error = "cannot create " + PathToUtf8(folder.common_dir) + ": " + ec.message();
    return std::nullopt;
  }
  auto file = folder.gold_dir / kDatabaseFile;
  if (script) {
    // Built aside and moved into place, so a failing script keeps the old data.
    auto fresh = folder.gold_dir / (std::string(kDatabaseFile) + ".new");
    std::filesystem::remove(fresh, ec);
    bool built = false;
    {
      SimDatabase db;
      built =
          db.Open(fresh, true, error) && db.ExecScript("begin;\n" + *script + "\ncommit;", error);
    }
    if (built) {
      std::filesystem::rename(fresh, file, ec);
      if (ec) {  // some run-times do not replace an existing file
        std::filesystem::remove(file, ec);
        std::filesystem::rename(fresh, file, ec);
      }
    }
    if (!built || ec) {
      if (built) *error = "cannot replace " + PathToUtf8(file) + ": " + ec.message();
      std::filesystem::remove(fresh, ec);
      return std::nullopt;
    }
  }
  SimDatabase db;
  if (!db.Open(file, true, error) || !db.SetTicket(ticket, error)) return std::nullopt;
  return folder;
}

}  // namespace pelmora::sim
