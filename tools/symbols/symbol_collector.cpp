#include "tools/symbols/symbol_collector.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "tools/symbols/dwarf_reader.h"

namespace ostrel::tools {
namespace {

std::string Demangle(const std::string& mangled) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> text(
      abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status), std::free);
  return status == 0 && text ? std::string(text.get()) : std::string();
}

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWith(const std::string& s, const char* tail) {
  const std::size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace

std::vector<TCoffFunction> ReadCoffFunctions(const TPeImage& file) {
  std::vector<TCoffFunction> out;
  const auto bytes = file.bytes();
  const std::uint64_t table = file.symbolTablePointer();
  const std::uint64_t count = file.symbolCount();
  if (table == 0 || count == 0 || table + count * 18 > bytes.size()) return out;
  const std::uint64_t strings = table + count * 18;
  const std::uint32_t stringSize = ReadLe32(bytes, static_cast<std::size_t>(strings));
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::size_t at = static_cast<std::size_t>(table + i * 18);
    const std::uint32_t value = ReadLe32(bytes, at + 8);
    const auto section = static_cast<std::int16_t>(ReadLe16(bytes, at + 12));
    const std::uint16_t type = ReadLe16(bytes, at + 14);
    const std::uint8_t storage = bytes[at + 16];
    const std::uint8_t aux = bytes[at + 17];
    i += aux;
    if (section <= 0 || static_cast<std::size_t>(section) > file.sections().size()) continue;
    const TPeSection& s = file.sections()[static_cast<std::size_t>(section - 1)];
    if ((s.characteristics & (TPeImage::kCodeSection | TPeImage::kExecuteSection)) == 0) continue;
    const bool function = (type & 0x30) == 0x20;
    const bool external = storage == 2;
    if (!(function && (storage == 2 || storage == 3)) && !external) continue;
    std::string name;
    if (ReadLe32(bytes, at) == 0) {
      const std::uint32_t offset = ReadLe32(bytes, at + 4);
      if (offset >= stringSize || strings + offset >= bytes.size()) continue;
      const char* p = reinterpret_cast<const char*>(bytes.data() + strings + offset);
      name.assign(p, strnlen(p, bytes.size() - static_cast<std::size_t>(strings + offset)));
    } else {
      const char* p = reinterpret_cast<const char*>(bytes.data() + at);
      name.assign(p, strnlen(p, 8));
    }
    if (name.empty() || name[0] == '.') continue;
    out.push_back({name, s.virtualAddress + value, external});
  }
  return out;
}

std::string WithoutSignature(const std::string& demangled) {
  std::string s = demangled;
  // " [clone .isra.0]" and the like: a copy of the same function.
  while (!s.empty() && s.back() == ']') {
    const auto open = s.rfind(" [clone ");
    if (open == std::string::npos) break;
    s.resize(open);
  }
  // Qualifiers after the parameter list.
  for (bool again = true; again;) {
    again = false;
    for (const char* q : {" const", " volatile", " &&", " &", " noexcept"}) {
      if (EndsWith(s, q)) {
        s.resize(s.size() - std::strlen(q));
        again = true;
      }
    }
  }
  if (!s.empty() && s.back() == ')') {
    int depth = 0;
    for (std::size_t i = s.size(); i-- > 0;) {
      if (s[i] == ')') ++depth;
      if (s[i] == '(' && --depth == 0) {
        s.resize(i);
        break;
      }
    }
  }
  // A leading return type: the last space outside brackets, unless it belongs
  // to "operator new", "operator int" and the like.
  int depth = 0;
  std::size_t cut = std::string::npos;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '<' || c == '(' || c == '[' || c == '{') ++depth;
    if (c == '>' || c == ')' || c == ']' || c == '}') --depth;
    if (c == ' ' && depth == 0) {
      const std::size_t op = s.rfind("operator", i);
      if (op != std::string::npos && op + 8 == i) break;
      cut = i;
    }
  }
  if (cut != std::string::npos) s.erase(0, cut + 1);
  return s;
}

std::string CollapseTemplates(const std::string& name) {
  std::string out;
  int depth = 0;
  for (const char c : name) {
    const bool afterOperator = out.ends_with("operator") || out.ends_with("operator<") ||
                               out.ends_with("operator>") || out.ends_with("operator-");
    if (depth == 0 && afterOperator && (c == '<' || c == '>' || c == '=')) {
      out.push_back(c);
    } else if (c == '<') {
      if (depth++ == 0) out += "<...>";
    } else if (c == '>' && depth > 0) {
      --depth;
    } else if (depth == 0) {
      out.push_back(c);
    }
  }
  return out;
}

std::string ReadableName(const std::string& symbol, bool fromCoff) {
  std::string name = symbol;
  if (fromCoff) {
    // 32-bit Windows names carry a leading "_" (C, C++) or "@" (fastcall) and
    // "@bytes" for stdcall.
    if (!name.empty() && (name[0] == '_' || name[0] == '@')) name.erase(0, 1);
    // "@bytes" of stdcall, after C and C++ names alike.
    const auto at = name.rfind('@');
    if (at != std::string::npos && at > 0 && at + 1 < name.size() &&
        name.find_first_not_of("0123456789", at + 1) == std::string::npos)
      name.resize(at);
  }
  if (name.rfind("_Z", 0) != 0) {
    // GCC's local copies of a C function: "f.part.0", "f.constprop.0.isra.0".
    for (const char* suffix : {".part.", ".isra.", ".constprop.", ".cold", ".lto_priv."}) {
      const auto at = name.find(suffix);
      if (at != std::string::npos && at > 0) name.resize(at);
    }
    return name;
  }
  const std::string demangled = Demangle(name);
  if (demangled.empty()) return name;
  // A name too long for the container keeps its scopes and function but not
  // its template arguments.
  std::string readable = WithoutSignature(demangled);
  return readable.size() > 255 ? CollapseTemplates(readable) : readable;
}

bool CollectSymbols(const TPeImage& file, TSymbolSource& out, std::string& error) {
  TDwarfInfo dwarf;
  std::string dwarfError;
  const bool haveDwarf = ReadDwarf(file, dwarf, dwarfError);
  const std::vector<TCoffFunction> coff = ReadCoffFunctions(file);
  if (!haveDwarf && coff.empty()) {
    error = dwarfError + "; no COFF symbol table either";
    return false;
  }
  const std::uint32_t base = file.imageBase();
  const std::uint32_t codeBegin = file.codeBegin(), codeEnd = file.codeEnd();
  auto inCode = [&](std::uint32_t rva) { return rva >= codeBegin && rva < codeEnd; };

  // Publics: the symbol table names every function, DWARF adds any it lacks.
  // Several names at one address (aliases, constructor variants): an
  // external one is kept.
  std::map<std::uint32_t, std::pair<std::string, bool>> publics;
  for (const TCoffFunction& f : coff) {
    if (!inCode(f.rva)) continue;
    auto [it, added] = publics.try_emplace(f.rva, ReadableName(f.name, true), f.external);
    if (!added && f.external && !it->second.second) it->second = {ReadableName(f.name, true), true};
  }
  for (const TFunction& f : dwarf.functions) {
    const std::uint32_t rva = f.address - base;
    if (f.address < base || !inCode(rva)) continue;
    publics.try_emplace(rva, f.mangled ? ReadableName(f.name, false) : f.name, false);
  }
  for (const auto& [rva, name] : publics) out.publics.push_back({name.first, rva - codeBegin});

  // Lines and units from the line table: a unit segment runs while the rows
  // name the same file, and ends at a file change or the end of a sequence.
  auto rows = dwarf.rows;
  std::stable_sort(rows.begin(), rows.end(), [](const TLineRow& a, const TLineRow& b) {
    if (a.address != b.address) return a.address < b.address;
    return a.endSequence && !b.endSequence;
  });
  std::string unit;
  std::uint32_t unitStart = 0;
  bool open = false;
  auto close = [&](std::uint32_t endRva) {
    if (open && endRva > unitStart)
      out.segments.push_back({unitStart - codeBegin, endRva - unitStart, unit, true});
    open = false;
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const TLineRow& r = rows[i];
    const std::uint32_t rva = r.address - base;
    if (r.address < base || rva < codeBegin || rva > codeEnd) continue;
    if (r.endSequence) {
      close(rva);
      continue;
    }
    if (rva == codeEnd) continue;
    const std::string file = BaseName(r.file);
    if (!open || file != unit) {
      close(rva);
      unit = file;
      unitStart = rva;
      open = true;
    }
    // Of several rows at one address the last describes it.
    if (!out.lines.empty() && out.lines.back().address == rva - codeBegin) {
      out.lines.back().line = r.line;
    } else {
      out.lines.push_back({r.line, rva - codeBegin});
    }
  }
  close(codeEnd);
  if (inCode(file.entryPointRva())) out.entryPoint = file.entryPointRva() - codeBegin;
  return true;
}

}  // namespace ostrel::tools
