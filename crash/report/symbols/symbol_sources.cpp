#include "crash/report/symbols/symbol_sources.h"

#include "crash/report/symbols/container.h"
#include "crash/report/symbols/map_parser.h"
#include "crash/report/symbols/pdb_file.h"
#include "crash/report/symbols/pe_image.h"
#include "crash/report/symbols/settings_stamp.h"
#include "crash/report/symbols/symbol_text.h"
#include "crash/report/symbols/td32_reader.h"

namespace ostrel {
namespace {

constexpr std::uint16_t kRcData = 10;

std::u16string BaseName(const TMapFile& symbols) {
  return std::u16string(WithoutExtension(symbols.moduleFileName));
}

bool ReadResource(TMapFile& symbols, ISymbolEnvironment& env) {
  const std::span<const std::uint8_t> mapped = env.MappedImage();
  if (mapped.empty()) return false;
  const TPeImage image(mapped, true);
  if (!image.valid()) return false;
  const auto container = image.FindResourceData({0, kSymbolResourceType}, {0, kSymbolResourceName});
  if (container.empty()) return false;
  TContainerContext context;
  context.minDebugInfo = [&image]() -> std::optional<std::string> {
    return FindMinDebugInfo(image.FindResourceData({kRcData, {}}, {0, u"TOSTREL"}));
  };
  context.readOstrelFile = [&env](TMapFile& m) { return ReadOstrelFile(m, env); };
  return ReadContainer(symbols, container, &context);
}

bool ReadPdbFile(TMapFile& symbols, ISymbolEnvironment& env) {
  const std::u16string path = BaseName(symbols) + u".pdb";
  if (!env.FileExists(path)) return false;
  // The debug-help library faults on truncated or foreign files, and a PDB
  // loaded on its own is not matched against the module: both are checked
  // here.
  const TPdbCheck check = CheckPdbFile([&](std::uint64_t offset, std::uint32_t length) {
    return env.ReadFilePart(path, offset, length);
  });
  if (!check.sound) return false;
  if (const auto linked = ModulePdbIdentity(TPeImage(env.MappedImage(), true))) {
    if (!check.identity || !PdbBelongsToModule(*check.identity, *linked)) return false;
  }
  const std::uint32_t moduleBase = static_cast<std::uint32_t>(symbols.moduleHandle);
  symbols.pdbCorrection = symbols.codeBase - moduleBase;
  if (symbols.codeBase == moduleBase) {
    // No headers in memory: take the code section from the file on disk.
    if (auto file = env.ReadWholeFile(symbols.moduleFileName)) {
      const TPeImage image(*file, false);
      if (image.valid()) {
        symbols.pdbCorrection = image.codeBegin();
        symbols.codeTop = moduleBase + image.codeEnd();
      }
    }
  }
  return env.ReadPdb(symbols, path);
}

// TD32 data: through the loaded image's debug directory, else in the ".tds"
// file (unless a newer ".map" is beside it) or the module file itself.
bool ReadTd32Source(TMapFile& symbols, ISymbolEnvironment& env, bool fb0aOnly) {
  const std::span<const std::uint8_t> mapped = env.MappedImage();
  std::uint32_t debugRva = 0;
  if (!mapped.empty()) {
    const TPeImage image(mapped, true);
    const TPeDirectory dir = image.directory(TPeImage::kDebugDirectory);
    const auto entry = image.At(dir.rva, 28);
    if (image.valid() && dir.rva != 0 && !entry.empty()) {
      debugRva = dir.rva;
      const auto data = image.At(ReadLe32(entry, 20), ReadLe32(entry, 16));
      if (!data.empty() && ReadLe32(entry, 20) != 0) return ReadTd32(symbols, data, fb0aOnly);
    }
  }
  const std::u16string base = BaseName(symbols);
  const std::u16string tds = base + u".tds";
  std::u16string path = symbols.moduleFileName;
  if (env.FileExists(tds)) {
    const auto tdsTime = env.LastWriteMinutes(tds);
    const auto mapTime = env.LastWriteMinutes(base + u".map");
    if (env.FileExists(base + u".map") && tdsTime && mapTime && *mapTime > *tdsTime) return false;
    path = tds;
  }
  // Without a debug directory a module file can hold no TD32 data: spare
  // reading it.
  if (path == symbols.moduleFileName && debugRva == 0 && !mapped.empty()) return false;
  const auto file = env.ReadWholeFile(path);
  if (!file) return false;
  const TPeImage image(*file, false);
  if (!image.valid()) return ReadTd32(symbols, *file, fb0aOnly);
  // In an image the debug data must be the last section, found through the
  // debug entry's file pointer. The file's own headers say where: the module
  // may not be mapped.
  const std::uint32_t fileDebugRva = image.directory(TPeImage::kDebugDirectory).rva;
  if (image.sections().empty() || fileDebugRva == 0 ||
      image.sections().back().virtualAddress != fileDebugRva)
    return false;
  const auto entry = image.At(fileDebugRva, 28);
  if (entry.empty()) return false;
  const std::uint32_t pointer = ReadLe32(entry, 24), size = ReadLe32(entry, 16);
  if (pointer > file->size() || file->size() - pointer < size) return false;
  return ReadTd32(symbols, std::span(*file).subspan(pointer, size), fb0aOnly);
}

// JCL debug information (".jdbg") is the JEDI Code Library's own format, and
// nothing in this project describes it; the step keeps its place in the
// order and finds nothing, so the search ends as if the file were absent.
bool ReadJclDebugFile(TMapFile&, ISymbolEnvironment&) { return false; }

}  // namespace

std::optional<std::vector<std::uint8_t>> ISymbolEnvironment::ReadFilePart(
    const std::u16string& path, std::uint64_t offset, std::uint32_t length) {
  auto file = ReadWholeFile(path);
  if (!file || offset > file->size() || file->size() - offset < length) return std::nullopt;
  const auto begin = file->begin() + static_cast<std::ptrdiff_t>(offset);
  return std::vector<std::uint8_t>(begin, begin + length);
}

bool SetRangesFromImage(TMapFile& symbols, std::span<const std::uint8_t> mappedImage) {
  if (mappedImage.empty()) return false;
  const TPeImage image(mappedImage, true);
  if (!image.valid()) return false;
  const auto base = static_cast<std::uint32_t>(symbols.moduleHandle);
  symbols.codeBase = base + image.codeBegin();
  symbols.codeTop = base + image.codeEnd();
  symbols.dataBase = base + image.dataBegin();
  symbols.dataTop = base + image.dataEnd();
  return true;
}

bool ReadOstrelFile(TMapFile& symbols, ISymbolEnvironment& env) {
  const auto file = env.ReadWholeFile(BaseName(symbols) + u".ostrel");
  if (!file) return false;
  // No context: a loose file never sends us looking for another one.
  return ReadContainer(symbols, *file, nullptr);
}

bool ReadFilesNextToModule(TMapFile& symbols, ISymbolEnvironment& env) {
  if (ReadPdbFile(symbols, env)) return true;
  symbols.ClearSymbols();
  if (auto map = env.ReadWholeFile(BaseName(symbols) + u".map")) {
    ParseMapFile(symbols, *map);
    symbols.valid = true;
    return true;
  }
  if (ReadOstrelFile(symbols, env)) return true;
  return ReadJclDebugFile(symbols, env);
}

void BuildModuleSymbols(TMapFile& symbols, ISymbolEnvironment& env) {
  symbols.valid = false;
  symbols.codeOnly = true;
  symbols.lookupName = symbols.moduleFileName;
  const bool headers = symbols.moduleHandle != 0 && SetRangesFromImage(symbols, env.MappedImage());
  bool found = headers && ReadResource(symbols, env);
  if (!found) {
    symbols.ClearSymbols();
    found = ReadTd32Source(symbols, env, true);
  }
  if (!found) {
    symbols.ClearSymbols();
    found = ReadFilesNextToModule(symbols, env);
  }
  if (!found) {
    symbols.ClearSymbols();
    found = ReadTd32Source(symbols, env, false);
  }
  symbols.valid = found;
  if (found) {
    symbols.SortLines();
    symbols.SortPublics();
  } else {
    symbols.ClearSymbols();
  }
}

}  // namespace ostrel
