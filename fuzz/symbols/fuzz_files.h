// Files beside a module for the source search, with no module mapped.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "crash/report/symbols/symbol_sources.h"

namespace ostrel::fuzz {

class TFiles : public ISymbolEnvironment {
 public:
  std::map<std::u16string, std::pair<std::vector<std::uint8_t>, std::int64_t>> files;

  std::span<const std::uint8_t> MappedImage() override { return {}; }
  std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::u16string& path) override {
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second.first;
  }
  bool FileExists(const std::u16string& path) override { return files.count(path) != 0; }
  std::optional<std::int64_t> LastWriteMinutes(const std::u16string& path) override {
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second.second;
  }
  bool ReadPdb(TMapFile&, const std::u16string&) override { return false; }
};

}  // namespace ostrel::fuzz
