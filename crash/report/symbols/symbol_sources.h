// Finds a module's symbols: its own resource first, then files beside it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "crash/report/symbols/map_file.h"

namespace ostrel {

// What the search needs of the module and the file system.
class ISymbolEnvironment {
 public:
  virtual ~ISymbolEnvironment() = default;
  // The image as mapped at the module handle; empty when not available.
  virtual std::span<const std::uint8_t> MappedImage() = 0;
  virtual std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::u16string& path) = 0;
  // length bytes at offset; nothing when the file is shorter. Spares reading
  // a whole program database only to check its structure.
  virtual std::optional<std::vector<std::uint8_t>> ReadFilePart(const std::u16string& path,
                                                                std::uint64_t offset,
                                                                std::uint32_t length);
  virtual bool FileExists(const std::u16string& path) = 0;
  // Last-write time in whole minutes.
  virtual std::optional<std::int64_t> LastWriteMinutes(const std::u16string& path) = 0;
  // A program database through the system's debug-help library.
  virtual bool ReadPdb(TMapFile& symbols, const std::u16string& path) = 0;
};

// Fills symbols (moduleHandle and moduleFileName set by the caller). The
// object is valid when a source gave symbols.
void BuildModuleSymbols(TMapFile& symbols, ISymbolEnvironment& env);

// Sets code and data ranges from the image headers; false without headers.
bool SetRangesFromImage(TMapFile& symbols, std::span<const std::uint8_t> mappedImage);

// A ".ostrel" container file beside the module (only this step).
bool ReadOstrelFile(TMapFile& symbols, ISymbolEnvironment& env);

// Files beside the module in their order: .pdb, .map, .ostrel, .jdbg (the
// last is not read by this build).
bool ReadFilesNextToModule(TMapFile& symbols, ISymbolEnvironment& env);

}  // namespace ostrel
