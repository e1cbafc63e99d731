#include "tools/symbols/dwarf_reader.h"

#include <dwarf.h>
#include <elfutils/libdw.h>
#include <libelf.h>

#include <cstring>
#include <memory>

namespace ostrel::tools {
namespace {

void Put(std::vector<char>& b, std::size_t at, std::uint32_t v, int size) {
  for (int i = 0; i < size; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// libdw reads ELF only; the PE's ".debug_*" sections are already linked, so
// they can be handed over unchanged inside a minimal ELF32 image.
std::vector<char> DebugSectionsAsElf(const TPeImage& pe) {
  struct Piece {
    std::string name;
    std::span<const std::uint8_t> data;
  };
  std::vector<Piece> pieces;
  for (const TPeSection& s : pe.sections()) {
    if (s.name.rfind(".debug_", 0) != 0) continue;
    std::uint32_t size = s.virtualSize != 0 ? std::min(s.virtualSize, s.rawSize) : s.rawSize;
    const auto bytes = pe.bytes();
    if (s.rawPointer > bytes.size() || bytes.size() - s.rawPointer < size) continue;
    pieces.push_back({s.name, bytes.subspan(s.rawPointer, size)});
  }
  if (pieces.empty()) return {};
  std::string names(1, '\0');
  std::vector<std::uint32_t> nameAt;
  for (const Piece& p : pieces) {
    nameAt.push_back(static_cast<std::uint32_t>(names.size()));
    names += p.name;
    names.push_back('\0');
  }
  const std::uint32_t shstrName = static_cast<std::uint32_t>(names.size());
  names += ".shstrtab";
  names.push_back('\0');
  std::vector<char> elf(52, 0);
  std::vector<std::uint32_t> dataAt;
  for (const Piece& p : pieces) {
    dataAt.push_back(static_cast<std::uint32_t>(elf.size()));
    elf.insert(elf.end(), p.data.begin(), p.data.end());
  }
  const auto namesAt = static_cast<std::uint32_t>(elf.size());
  elf.insert(elf.end(), names.begin(), names.end());
  while (elf.size() % 4) elf.push_back(0);
  const auto shoff = static_cast<std::uint32_t>(elf.size());
  const std::size_t count = pieces.size() + 2;
  elf.resize(elf.size() + count * 40, 0);
  const unsigned char ident[] = {0x7F, 'E', 'L', 'F', 1, 1, 1};
  std::memcpy(elf.data(), ident, sizeof ident);
  Put(elf, 16, 2, 2);  // ET_EXEC
  Put(elf, 18, 3, 2);  // EM_386
  Put(elf, 20, 1, 4);
  Put(elf, 32, shoff, 4);
  Put(elf, 40, 52, 2);
  Put(elf, 46, 40, 2);
  Put(elf, 48, static_cast<std::uint32_t>(count), 2);
  Put(elf, 50, static_cast<std::uint32_t>(count - 1), 2);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::size_t h = shoff + (i + 1) * 40;
    Put(elf, h, nameAt[i], 4);
    Put(elf, h + 4, 1, 4);  // SHT_PROGBITS
    Put(elf, h + 16, dataAt[i], 4);
    Put(elf, h + 20, static_cast<std::uint32_t>(pieces[i].data.size()), 4);
    Put(elf, h + 32, 1, 4);
  }
  const std::size_t h = shoff + (count - 1) * 40;
  Put(elf, h, shstrName, 4);
  Put(elf, h + 4, 3, 4);  // SHT_STRTAB
  Put(elf, h + 16, namesAt, 4);
  Put(elf, h + 20, static_cast<std::uint32_t>(names.size()), 4);
  Put(elf, h + 32, 1, 4);
  return elf;
}

const char* AttrString(Dwarf_Die* die, unsigned int name) {
  Dwarf_Attribute attr;
  if (dwarf_attr_integrate(die, name, &attr) == nullptr) return nullptr;
  return dwarf_formstring(&attr);
}

void WalkFunctions(Dwarf_Die* parent, std::vector<TFunction>& out, int depth) {
  Dwarf_Die child;
  if (depth > 64 || dwarf_child(parent, &child) != 0) return;
  do {
    const int tag = dwarf_tag(&child);
    if (tag == DW_TAG_subprogram) {
      Dwarf_Addr low = 0;
      if (dwarf_lowpc(&child, &low) == 0 && low != 0) {
        TFunction f;
        f.address = static_cast<std::uint32_t>(low);
        const char* linkage = AttrString(&child, DW_AT_linkage_name);
        if (linkage == nullptr) linkage = AttrString(&child, DW_AT_MIPS_linkage_name);
        if (linkage != nullptr) {
          f.name = linkage;
          f.mangled = true;
        } else if (const char* name = AttrString(&child, DW_AT_name)) {
          f.name = name;
        }
        if (!f.name.empty()) out.push_back(std::move(f));
      }
    }
    if (tag == DW_TAG_namespace || tag == DW_TAG_class_type || tag == DW_TAG_structure_type ||
        tag == DW_TAG_union_type || tag == DW_TAG_subprogram || tag == DW_TAG_lexical_block)
      WalkFunctions(&child, out, depth + 1);
  } while (dwarf_siblingof(&child, &child) == 0);
}

}  // namespace

bool ReadDwarf(const TPeImage& file, TDwarfInfo& out, std::string& error) {
  std::vector<char> image = DebugSectionsAsElf(file);
  if (image.empty()) {
    error = "no .debug_* sections (was the program linked with -g and not stripped?)";
    return false;
  }
  elf_version(EV_CURRENT);
  std::unique_ptr<Elf, int (*)(Elf*)> elf(elf_memory(image.data(), image.size()), elf_end);
  if (!elf) {
    error = std::string("libelf: ") + elf_errmsg(-1);
    return false;
  }
  std::unique_ptr<Dwarf, int (*)(Dwarf*)> dwarf(dwarf_begin_elf(elf.get(), DWARF_C_READ, nullptr),
                                                dwarf_end);
  if (!dwarf) {
    error = std::string("libdw: ") + dwarf_errmsg(-1);
    return false;
  }
  Dwarf_CU* cu = nullptr;
  Dwarf_Die cuDie, subDie;
  Dwarf_Half version = 0;
  std::uint8_t unitType = 0;
  while (dwarf_get_units(dwarf.get(), cu, &cu, &version, &unitType, &cuDie, &subDie) == 0) {
    if (unitType != DW_UT_compile && unitType != DW_UT_partial) continue;
    Dwarf_Lines* lines = nullptr;
    std::size_t count = 0;
    if (dwarf_getsrclines(&cuDie, &lines, &count) == 0) {
      for (std::size_t i = 0; i < count; ++i) {
        Dwarf_Line* line = dwarf_onesrcline(lines, i);
        Dwarf_Addr addr = 0;
        int lineNo = 0;
        bool end = false;
        if (line == nullptr || dwarf_lineaddr(line, &addr) != 0 || dwarf_lineno(line, &lineNo) != 0)
          continue;
        dwarf_lineendsequence(line, &end);
        const char* src = dwarf_linesrc(line, nullptr, nullptr);
        out.rows.push_back({static_cast<std::uint32_t>(addr), lineNo, src ? src : "", end});
      }
    }
    WalkFunctions(&cuDie, out.functions, 0);
  }
  if (out.rows.empty() && out.functions.empty()) {
    error = "the DWARF holds no line rows and no functions";
    return false;
  }
  return true;
}

}  // namespace ostrel::tools
