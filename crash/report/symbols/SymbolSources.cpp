#include "crash/report/symbols/SymbolSources.h"

#include "crash/report/symbols/Container.h"
#include "crash/report/symbols/MapParser.h"
#include "crash/report/symbols/PeImage.h"
#include "crash/report/symbols/SettingsStamp.h"
#include "crash/report/symbols/SymbolText.h"

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

}  // namespace

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
  // JCL debug files (".jdbg") are not read by this build.
  return false;
}

void BuildModuleSymbols(TMapFile& symbols, ISymbolEnvironment& env) {
  symbols.valid = false;
  symbols.codeOnly = true;
  symbols.lookupName = symbols.moduleFileName;
  const bool headers = symbols.moduleHandle != 0 && SetRangesFromImage(symbols, env.MappedImage());
  bool found = headers && ReadResource(symbols, env);
  if (!found) {
    symbols.ClearSymbols();
    found = ReadFilesNextToModule(symbols, env);
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
