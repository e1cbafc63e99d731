#include "crash/report/symbols/resource_writer.h"

#include <algorithm>
#include <map>

#include "crash/base/text_case.h"
#include "crash/report/symbols/pe_image.h"
#include "crash/report/symbols/symbol_text.h"

namespace ostrel {
namespace {

// Named entries first, ordered by name; then numbered ones in ascending order.
bool IdLess(const TResourceId& a, const TResourceId& b) {
  if (a.text.empty() != b.text.empty()) return !a.text.empty();
  if (a.text.empty()) return a.number < b.number;
  std::u16string fa = a.text, fb = b.text;
  // Upper case, as the loader's search expects: "_" sorts after the letters.
  for (auto& c : fa) c = AsciiUpper(c);
  for (auto& c : fb) c = AsciiUpper(c);
  return fa < fb;
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

std::vector<TResourceEntry> ReadAllResources(const TPeImage& image) {
  std::vector<TResourceEntry> out;
  const TPeDirectory dir = image.directory(TPeImage::kResourceDirectory);
  if (dir.rva == 0 || dir.size == 0) return out;
  const auto rsrc = image.At(dir.rva, dir.size);
  for (const ResourceDirEntry& type : ReadResourceDirectory(rsrc, 0)) {
    if (!(type.target & 0x80000000u)) continue;
    for (const ResourceDirEntry& name : ReadResourceDirectory(rsrc, type.target & 0x7FFFFFFFu)) {
      if (!(name.target & 0x80000000u)) continue;
      for (const ResourceDirEntry& lang : ReadResourceDirectory(rsrc, name.target & 0x7FFFFFFFu)) {
        if ((lang.target & 0x80000000u) || lang.target > rsrc.size() ||
            rsrc.size() - lang.target < 16)
          continue;
        const auto data = image.At(ReadLe32(rsrc, lang.target), ReadLe32(rsrc, lang.target + 4));
        TResourceEntry e{type.id, name.id, lang.id.number, ReadLe32(rsrc, lang.target + 8),
                         std::vector<std::uint8_t>(data.begin(), data.end())};
        out.push_back(std::move(e));
      }
    }
  }
  return out;
}

void PutResource(std::vector<TResourceEntry>& entries, TResourceEntry entry) {
  std::erase_if(entries, [&](const TResourceEntry& e) {
    return e.type == entry.type && e.name == entry.name;
  });
  entries.push_back(std::move(entry));
}

std::vector<std::uint8_t> BuildResourceSection(const std::vector<TResourceEntry>& entries,
                                               std::uint32_t sectionRva) {
  // type -> name -> language -> entry index
  struct IdKey {
    TResourceId id;
    bool operator<(const IdKey& o) const { return IdLess(id, o.id); }
  };
  std::map<IdKey, std::map<IdKey, std::map<std::uint16_t, std::size_t>>> tree;
  for (std::size_t i = 0; i < entries.size(); ++i)
    tree[{entries[i].type}][{entries[i].name}][entries[i].language] = i;

  // Sizes first: all tables, then data entries, then strings, then data.
  std::size_t tables = 16 + tree.size() * 8;
  std::size_t leaves = 0;
  for (const auto& [type, names] : tree) {
    tables += 16 + names.size() * 8;
    for (const auto& [name, langs] : names) {
      tables += 16 + langs.size() * 8;
      leaves += langs.size();
    }
  }
  std::size_t stringsAt = tables + leaves * 16;
  std::size_t stringBytes = 0;
  auto countString = [&](const TResourceId& id) {
    if (!id.text.empty()) stringBytes += 2 + id.text.size() * 2;
  };
  for (const auto& [type, names] : tree) {
    countString(type.id);
    for (const auto& [name, langs] : names) countString(name.id);
  }
  std::size_t dataAt = (stringsAt + stringBytes + 7) & ~std::size_t{7};
  std::size_t total = dataAt;
  for (const auto& e : entries) total = ((total + e.data.size()) + 7) & ~std::size_t{7};
  std::vector<std::uint8_t> out(total, 0);

  std::size_t tableCursor = 0, leafCursor = tables, stringCursor = stringsAt, dataCursor = dataAt;
  auto writeId = [&](std::size_t entryAt, const TResourceId& id) {
    if (id.text.empty()) {
      Put32(out, entryAt, id.number);
      return;
    }
    Put32(out, entryAt, 0x80000000u | static_cast<std::uint32_t>(stringCursor));
    Put16(out, stringCursor, static_cast<std::uint16_t>(id.text.size()));
    for (std::size_t k = 0; k < id.text.size(); ++k)
      Put16(out, stringCursor + 2 + k * 2, static_cast<std::uint16_t>(id.text[k]));
    stringCursor += 2 + id.text.size() * 2;
  };
  auto openTable = [&](std::size_t named, std::size_t numbered) {
    const std::size_t at = tableCursor;
    Put16(out, at + 12, static_cast<std::uint16_t>(named));
    Put16(out, at + 14, static_cast<std::uint16_t>(numbered));
    tableCursor += 16 + (named + numbered) * 8;
    return at + 16;
  };
  auto split = [](const auto& m) {
    std::size_t named = 0;
    for (const auto& kv : m) named += kv.first.id.text.empty() ? 0 : 1;
    return std::pair{named, m.size() - named};
  };
  const auto [rootNamed, rootNumbered] = split(tree);
  std::size_t rootEntry = openTable(rootNamed, rootNumbered);
  for (const auto& [type, names] : tree) {
    writeId(rootEntry, type.id);
    const auto [named, numbered] = split(names);
    Put32(out, rootEntry + 4, 0x80000000u | static_cast<std::uint32_t>(tableCursor));
    rootEntry += 8;
    std::size_t nameEntry = openTable(named, numbered);
    for (const auto& [name, langs] : names) {
      writeId(nameEntry, name.id);
      Put32(out, nameEntry + 4, 0x80000000u | static_cast<std::uint32_t>(tableCursor));
      nameEntry += 8;
      std::size_t langEntry = openTable(0, langs.size());
      for (const auto& [lang, index] : langs) {
        const TResourceEntry& e = entries[index];
        Put32(out, langEntry, lang);
        Put32(out, langEntry + 4, static_cast<std::uint32_t>(leafCursor));
        langEntry += 8;
        Put32(out, leafCursor, sectionRva + static_cast<std::uint32_t>(dataCursor));
        Put32(out, leafCursor + 4, static_cast<std::uint32_t>(e.data.size()));
        Put32(out, leafCursor + 8, e.codePage);
        leafCursor += 16;
        std::copy(e.data.begin(), e.data.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(dataCursor));
        dataCursor = (dataCursor + e.data.size() + 7) & ~std::size_t{7};
      }
    }
  }
  return out;
}

}  // namespace ostrel
