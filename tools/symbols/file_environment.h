// Symbol search over a PE file on disk, as the running program would search
// its loaded module: the file mapped as the loader maps it, files beside it.
#pragma once

#include <string>
#include <vector>

#include "crash/report/symbols/symbol_sources.h"

namespace ostrel::tools {

class TFileEnvironment : public ISymbolEnvironment {
 public:
  explicit TFileEnvironment(std::vector<std::uint8_t> mappedImage)
      : image_(std::move(mappedImage)) {}
  std::span<const std::uint8_t> MappedImage() override { return image_; }
  std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::u16string& path) override;
  bool FileExists(const std::u16string& path) override;
  std::optional<std::int64_t> LastWriteMinutes(const std::u16string& path) override;
  bool ReadPdb(TMapFile&, const std::u16string&) override { return false; }

 private:
  std::vector<std::uint8_t> image_;
};

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& data);

}  // namespace ostrel::tools
