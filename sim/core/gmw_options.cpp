#include "sim/core/gmw_options.h"

namespace pelmora::sim {

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::string current;
  bool quoted = false;
  bool have = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        current += '"';
        ++i;
      } else {
        quoted = !quoted;
      }
      have = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (have) args.push_back(std::move(current));
      current.clear();
      have = false;
    } else {
      current += c;
      have = true;
    }
  }
  if (have) args.push_back(std::move(current));
  return args;
}

std::optional<GmwOptions> ParseGmwOptions(const std::vector<std::string>& args,
                                          std::string* error) {
  GmwOptions options;
  bool have_data = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--demo") {
      options.demo = true;
      continue;
    }
    std::optional<std::string>* target = nullptr;
    if (arg == "--seed") target = &options.seed;
    if (arg == "--sysinfo") target = &options.sysinfo;
    if (arg == "--golddir") target = &options.golddir;
    if (arg == "--commondir") target = &options.commondir;
    if (arg == "--credentials") target = &options.credentials;
    if (arg != "--data" && target == nullptr) {
      *error = "unknown argument: " + arg;
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      *error = arg + " needs a value";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (arg == "--data") {
      options.data = value;
      have_data = true;
    } else {
      *target = value;
    }
  }
  if (!have_data || options.data.empty()) {
    *error = "--data <folder> is required";
    return std::nullopt;
  }
  if (options.demo && options.seed) {
    *error = "--demo and --seed exclude each other";
    return std::nullopt;
  }
  return options;
}

}  // namespace pelmora::sim
