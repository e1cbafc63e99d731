#pragma once

#include <optional>
#include <string>
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

// args excludes the program name. Returns nothing and sets error on bad use.
std::optional<GmwOptions> ParseGmwOptions(const std::vector<std::string>& args, std::string* error);

inline constexpr const char* kGmwUsage =
    "usage: gmw.exe --data <folder> [--demo] [--seed <file.sql>] [--sysinfo <text>] "
    "[--golddir <text>] [--commondir <text>] [--credentials <text>]";

}  // namespace pelmora::sim
