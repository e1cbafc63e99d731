#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::sim {

// gmw.exe --data <folder> [--demo] [--seed <file.sql>] [--sysinfo <text>]
//         [--golddir <text>] [--commondir <text>] [--credentials <text>]
struct GmwOptions {
  std::string data;  // GoldDir
  bool demo = false;
  std::optional<std::string> seed;
  // Replies that replace the real ones, to provoke failures.
  std::optional<std::string> sysinfo;
  std::optional<std::string> golddir;
  std::optional<std::string> commondir;
  std::optional<std::string> credentials;
};

// Splits gmw.exe's command line (program name included). Blanks separate
// arguments outside quotes; a quote starts or ends quoting, and two quotes
// inside quotes stand for one. Backslashes are plain characters, so a
// quoted folder may end in one: "C:\data\" is C:\data\.
std::vector<std::string> SplitCommandLine(std::string_view line);

// args excludes the program name. Returns nothing and sets error on bad use.
std::optional<GmwOptions> ParseGmwOptions(const std::vector<std::string>& args, std::string* error);

inline constexpr const char* kGmwUsage =
    "usage: gmw.exe --data <folder> [--demo] [--seed <file.sql>] [--sysinfo <text>] "
    "[--golddir <text>] [--commondir <text>] [--credentials <text>]";

}  // namespace pelmora::sim
