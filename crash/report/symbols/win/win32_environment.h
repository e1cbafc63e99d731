// The symbol search's view of a loaded module and the Windows file system.
#pragma once

#include <windows.h>

#include "crash/report/symbols/symbol_sources.h"

namespace ostrel {

class TWin32SymbolEnvironment : public ISymbolEnvironment {
 public:
  explicit TWin32SymbolEnvironment(HMODULE module) : module_(module) {}
  std::span<const std::uint8_t> MappedImage() override;
  std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::u16string& path) override;
  std::optional<std::vector<std::uint8_t>> ReadFilePart(const std::u16string& path,
                                                        std::uint64_t offset,
                                                        std::uint32_t length) override;
  bool FileExists(const std::u16string& path) override;
  std::optional<std::int64_t> LastWriteMinutes(const std::u16string& path) override;
  bool ReadPdb(TMapFile& symbols, const std::u16string& path) override;

 private:
  HMODULE module_;
};

}  // namespace ostrel
