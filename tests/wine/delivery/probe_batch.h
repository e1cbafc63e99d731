#pragma once
// The probes' batch files: a command per line, its arguments separated by
// tabs, so that many commands share one Wine start (seconds each where the
// program runs under an emulator).
#include <string>
#include <vector>

namespace probe {

inline std::vector<std::vector<std::u16string>> BatchCommands(const std::u16string& text) {
  std::vector<std::vector<std::u16string>> commands;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::u16string> args;
    for (std::size_t at = 0;;) {
      const std::size_t tab = line.find(u'\t', at);
      args.push_back(
          line.substr(at, tab == std::u16string::npos ? std::u16string::npos : tab - at));
      if (tab == std::u16string::npos) break;
      at = tab + 1;
    }
    commands.push_back(std::move(args));
  }
  return commands;
}

}  // namespace probe
