#include "tests/unit/stack/loaded_images.h"

#include <cstring>

#include "crash/report/disasm/decoder.h"
#include "crash/report/disasm/function_parser.h"
#include "crash/report/symbols/pe_image.h"
#include "crash/report/symbols/symbol_sources.h"
#include "tools/symbols/file_environment.h"
#include "tools/symbols/pe_editor.h"

namespace ostrel::test {
namespace {

std::uint32_t Get32(const std::vector<std::uint8_t>& m, std::size_t at) {
  std::uint32_t v = 0;
  if (at + 4 <= m.size()) std::memcpy(&v, &m[at], 4);
  return v;
}

void Put32(std::vector<std::uint8_t>& m, std::size_t at, std::uint32_t v) {
  if (at + 4 <= m.size()) std::memcpy(&m[at], &v, 4);
}

std::u16string FileName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return std::u16string(name.begin(), name.end());
}

}  // namespace

bool TLoadedImages::Load(const std::string& path, std::uint32_t base, std::string& error) {
  const auto file = tools::ReadFileBytes(path);
  if (!file) {
    error = "cannot read " + path;
    return false;
  }
  const TPeImage pe(*file, false);
  if (!pe.valid()) {
    error = path + " is no PE image";
    return false;
  }
  std::vector<std::uint8_t> image = tools::MapImage(pe);
  if (base == 0) base = pe.imageBase();
  const std::uint32_t pe32 = Get32(image, 0x3C), opt = pe32 + 24;
  const std::uint32_t delta = base - pe.imageBase();
  if (delta != 0) {
    const std::uint32_t relocRva = Get32(image, opt + 96 + 5 * 8);
    const std::uint32_t relocSize = Get32(image, opt + 96 + 5 * 8 + 4);
    for (std::uint32_t at = relocRva; at + 8 <= relocRva + relocSize;) {
      const std::uint32_t page = Get32(image, at), size = Get32(image, at + 4);
      if (size < 8) break;
      for (std::uint32_t k = 8; k + 2 <= size; k += 2) {
        const std::uint16_t entry =
            static_cast<std::uint16_t>(image[at + k] | image[at + k + 1] << 8);
        if ((entry >> 12) == 3) {
          const std::size_t where = page + (entry & 0xFFF);
          Put32(image, where, Get32(image, where) + delta);
        }
      }
      at += size;
    }
    Put32(image, opt + 28, base);
  }
  // Imports from images loaded before: bound by name.
  const std::uint32_t importRva = Get32(image, opt + 96 + 8);
  for (std::uint32_t d = importRva; importRva && Get32(image, d + 12) != 0; d += 20) {
    const std::string dll(reinterpret_cast<const char*>(&image[Get32(image, d + 12)]));
    const std::u16string dllName(dll.begin(), dll.end());
    const Module* from = nullptr;
    for (const Module& m : modules_) {
      if (m.name == dllName) from = &m;
    }
    if (!from) continue;
    std::uint32_t names = Get32(image, d) ? Get32(image, d) : Get32(image, d + 16);
    for (std::uint32_t iat = Get32(image, d + 16);; names += 4, iat += 4) {
      const std::uint32_t thunk = Get32(image, names);
      if (thunk == 0 || (thunk & 0x80000000u)) break;
      const std::string wanted(reinterpret_cast<const char*>(&image[thunk + 2]));
      const std::uint32_t address =
          Public(from->base, std::u16string(wanted.begin(), wanted.end()));
      if (address) Put32(image, iat, address);
    }
  }
  Module m;
  m.base = base;
  m.size = static_cast<std::uint32_t>(image.size());
  m.name = FileName(path);
  m.program = ((Get32(image, pe32 + 20) >> 16) & 0x2000) == 0;  // not IMAGE_FILE_DLL
  auto symbols = std::make_shared<TMapFile>();
  symbols->moduleHandle = base;
  symbols->moduleFileName = std::u16string(path.begin(), path.end());
  tools::TFileEnvironment env(image);
  BuildModuleSymbols(*symbols, env);
  if (symbols->valid) m.symbols = symbols;
  memory_.Add(base, std::move(image), kReadable, base);
  modules_.push_back(std::move(m));
  return true;
}

void TLoadedImages::AddStack(std::uint32_t top, std::uint32_t size) {
  memory_.Add(top - size, std::vector<std::uint8_t>(size, 0), kReadable, top - size);
}

void TLoadedImages::Write32(std::uint32_t address, std::uint32_t value) {
  for (const TMemoryImage::Block& b : memory_.Blocks()) {
    if (address >= b.start && address - b.start + 4 <= b.bytes.size()) {
      std::memcpy(const_cast<std::uint8_t*>(&b.bytes[address - b.start]), &value, 4);
      return;
    }
  }
}

std::uint32_t TLoadedImages::Public(std::uint32_t base, const std::u16string& name,
                                    bool last) const {
  for (const Module& m : modules_) {
    if (m.base != base) continue;
    if (m.symbols) {
      // The last of equal names: a function's cold part comes first.
      std::uint32_t found = 0;
      for (const TMfPublic& p : m.symbols->publics) {
        if (p.name == name && (last || !found)) found = p.address;
      }
      if (found) return found;
    }
    // Exports, for a library without symbols.
    const std::uint32_t pe = [&] {
      std::uint32_t v = 0;
      memory_.Read(base + 0x3C, &v, 4);
      return v;
    }();
    std::uint32_t dir[10] = {}, rva = 0;
    if (!memory_.Read(base + pe + 24 + 96, &rva, 4) || !rva || !memory_.Read(base + rva, dir, 40))
      return 0;
    for (std::uint32_t i = 0; i < dir[6]; ++i) {
      std::uint32_t nameRva = 0, function = 0;
      std::uint16_t ordinal = 0;
      memory_.Read(base + dir[8] + i * 4, &nameRva, 4);
      memory_.Read(base + dir[9] + i * 2, &ordinal, 2);
      char text[128] = {};
      memory_.Read(base + nameRva, text, 64);
      if (std::u16string(text, text + std::strlen(text)) != name) continue;
      memory_.Read(base + dir[7] + ordinal * 4u, &function, 4);
      return base + function;
    }
  }
  return 0;
}

std::uint32_t TLoadedImages::ReturnAfterCall(std::uint32_t from, std::uint32_t target) const {
  const TFunctionInfo info = ParseFunction(memory_, from, nullptr, {});
  if (target == 0) {
    for (const TUnknownTransfer& t : info.unknownTransfers) {
      if (t.isCall) return t.next;
    }
  }
  for (const TFarCall& c : info.farCalls) {
    if (c.isCall && c.target == target) return c.next;
  }
  return 0;
}

std::uint32_t TLoadedImages::FirstStore(std::uint32_t function) const {
  std::uint32_t at = function;
  for (int n = 0; n < 64; ++n) {
    const TInstruction in = DecodeInstruction(memory_, at, nullptr, nullptr);
    if (!in.valid) return 0;
    // mov r/m32, r32 or mov r/m32, imm32 into memory
    if ((in.opcode == 0x89 || in.opcode == 0xC7) && in.hasModrm && (in.modrm >> 6) != 3) return at;
    at = in.next;
  }
  return 0;
}

std::shared_ptr<const TMapFile> TLoadedImages::Symbols(std::uint32_t moduleBase) {
  for (const Module& m : modules_) {
    if (m.base == moduleBase) return m.symbols;
  }
  return nullptr;
}

std::u16string TLoadedImages::ModuleFileName(std::uint32_t moduleBase) {
  for (const Module& m : modules_) {
    if (m.base == moduleBase) return m.name;
  }
  return {};
}

bool TLoadedImages::IsProgramModule(std::uint32_t moduleBase) {
  for (const Module& m : modules_) {
    if (m.base == moduleBase) return m.program;
  }
  return false;
}

}  // namespace ostrel::test
