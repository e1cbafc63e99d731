#include "crash/report/symbols/pe_image.h"

#include <algorithm>
#include <cstring>

#include "crash/report/symbols/symbol_text.h"

namespace ostrel {

std::uint32_t ReadLe32(std::span<const std::uint8_t> b, std::size_t o) {
  if (o > b.size() || b.size() - o < 4) return 0;
  return static_cast<std::uint32_t>(b[o]) | static_cast<std::uint32_t>(b[o + 1]) << 8 |
         static_cast<std::uint32_t>(b[o + 2]) << 16 | static_cast<std::uint32_t>(b[o + 3]) << 24;
}

std::uint16_t ReadLe16(std::span<const std::uint8_t> b, std::size_t o) {
  if (o > b.size() || b.size() - o < 2) return 0;
  return static_cast<std::uint16_t>(b[o] | b[o + 1] << 8);
}

TPeImage::TPeImage(std::span<const std::uint8_t> bytes, bool mapped)
    : bytes_(bytes), mapped_(mapped) {
  if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') return;
  peOffset_ = ReadLe32(bytes, 60);
  if (peOffset_ > bytes.size() || bytes.size() - peOffset_ < 24 + 96 ||
      std::memcmp(bytes.data() + peOffset_, "PE\0\0", 4) != 0)
    return;
  const std::size_t file = peOffset_ + 4;
  const std::uint16_t sectionCount = ReadLe16(bytes, file + 2);
  timeStamp_ = ReadLe32(bytes, file + 4);
  symbolTable_ = ReadLe32(bytes, file + 8);
  symbolCount_ = ReadLe32(bytes, file + 12);
  const std::uint16_t optionalSize = ReadLe16(bytes, file + 16);
  const std::size_t opt = file + 20;
  if (ReadLe16(bytes, opt) != 0x10B) return;  // 32-bit images only
  if (optionalSize < 96 || bytes.size() - opt < optionalSize) return;
  const std::uint32_t sizeOfCode = ReadLe32(bytes, opt + 4);
  const std::uint32_t sizeOfData = ReadLe32(bytes, opt + 8);
  const std::uint32_t sizeOfBss = ReadLe32(bytes, opt + 12);
  entryPoint_ = ReadLe32(bytes, opt + 16);
  const std::uint32_t baseOfCode = ReadLe32(bytes, opt + 20);
  const std::uint32_t baseOfData = ReadLe32(bytes, opt + 24);
  imageBase_ = ReadLe32(bytes, opt + 28);
  sectionAlignment_ = ReadLe32(bytes, opt + 32);
  fileAlignment_ = ReadLe32(bytes, opt + 36);
  sizeOfImage_ = ReadLe32(bytes, opt + 56);
  sizeOfHeaders_ = ReadLe32(bytes, opt + 60);
  const std::uint32_t dirCount = std::min<std::uint32_t>(ReadLe32(bytes, opt + 92), 16);
  if (96 + std::size_t{dirCount} * 8 > optionalSize) return;
  for (std::uint32_t i = 0; i < dirCount; ++i)
    directories_.push_back({ReadLe32(bytes, opt + 96 + i * 8), ReadLe32(bytes, opt + 100 + i * 8)});
  sectionTable_ = opt + optionalSize;
  if (bytes.size() < sectionTable_ || (bytes.size() - sectionTable_) / 40 < sectionCount) return;
  // Long section names ("/123") live in the COFF string table of the file.
  const std::size_t strings = std::size_t{symbolTable_} + std::size_t{symbolCount_} * 18;
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    const std::size_t h = sectionTable_ + std::size_t{i} * 40;
    TPeSection s;
    const char* raw = reinterpret_cast<const char*>(bytes.data() + h);
    s.name.assign(raw, strnlen(raw, 8));
    if (!mapped && symbolTable_ != 0 && s.name.size() > 1 && s.name[0] == '/') {
      std::size_t at = 0;
      for (char c : s.name.substr(1))
        at = (c >= '0' && c <= '9') ? at * 10 + static_cast<std::size_t>(c - '0') : 1u << 30;
      if (strings + at < bytes.size()) {
        const char* p = reinterpret_cast<const char*>(bytes.data() + strings + at);
        s.name.assign(p, strnlen(p, bytes.size() - strings - at));
      }
    }
    s.virtualSize = ReadLe32(bytes, h + 8);
    s.virtualAddress = ReadLe32(bytes, h + 12);
    s.rawSize = ReadLe32(bytes, h + 16);
    s.rawPointer = ReadLe32(bytes, h + 20);
    s.characteristics = ReadLe32(bytes, h + 36);
    s.headerOffset = h;
    sections_.push_back(std::move(s));
  }
  auto isCode = [](const TPeSection& s) {
    return (s.characteristics & (kCodeSection | kExecuteSection)) != 0;
  };
  if (!sections_.empty() && isCode(sections_[0])) {
    codeBegin_ = sections_[0].virtualAddress;
    codeEnd_ = codeBegin_ + sections_[0].virtualSize;
    if (sections_.size() > 1 && isCode(sections_[1]))
      codeEnd_ = sections_[1].virtualAddress + sections_[1].virtualSize;
  } else {
    codeBegin_ = baseOfCode;
    codeEnd_ = baseOfCode + sizeOfCode;
  }
  dataBegin_ = baseOfData;
  dataEnd_ = baseOfData + sizeOfData + sizeOfBss;
  valid_ = true;
}

TPeDirectory TPeImage::directory(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= directories_.size()) return {};
  return directories_[static_cast<std::size_t>(index)];
}

std::span<const std::uint8_t> TPeImage::At(std::uint32_t rva, std::uint32_t size) const {
  if (mapped_) {
    if (rva > bytes_.size() || bytes_.size() - rva < size) return {};
    return bytes_.subspan(rva, size);
  }
  if (rva < sizeOfHeaders_) {
    if (std::uint64_t{rva} + size > sizeOfHeaders_ || std::uint64_t{rva} + size > bytes_.size())
      return {};
    return bytes_.subspan(rva, size);
  }
  for (const TPeSection& s : sections_) {
    const std::uint32_t extent = std::max(s.virtualSize, s.rawSize);
    if (rva < s.virtualAddress || rva - s.virtualAddress >= extent) continue;
    const std::uint64_t off = std::uint64_t{rva - s.virtualAddress};
    if (off + size > s.rawSize) return {};
    const std::uint64_t fileOff = s.rawPointer + off;
    if (fileOff + size > bytes_.size()) return {};
    return bytes_.subspan(static_cast<std::size_t>(fileOff), size);
  }
  return {};
}

std::optional<std::string> TPeImage::StringAt(std::uint32_t rva, std::uint32_t maxLength) const {
  std::string out;
  for (std::uint32_t i = 0; i < maxLength; ++i) {
    const auto b = At(rva + i, 1);
    if (b.empty()) return std::nullopt;
    if (b[0] == 0) return out;
    out.push_back(static_cast<char>(b[0]));
  }
  return std::nullopt;
}

std::vector<ResourceDirEntry> ReadResourceDirectory(std::span<const std::uint8_t> rsrc,
                                                    std::uint32_t offset) {
  std::vector<ResourceDirEntry> out;
  if (offset > rsrc.size() || rsrc.size() - offset < 16) return out;
  const std::size_t count = std::size_t{ReadLe16(rsrc, offset + 12)} + ReadLe16(rsrc, offset + 14);
  if ((rsrc.size() - offset - 16) / 8 < count) return out;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t e = offset + 16 + i * 8;
    const std::uint32_t nameField = ReadLe32(rsrc, e);
    ResourceDirEntry entry;
    entry.target = ReadLe32(rsrc, e + 4);
    if (nameField & 0x80000000u) {
      const std::uint32_t at = nameField & 0x7FFFFFFFu;
      const std::uint16_t len = ReadLe16(rsrc, at);
      if (at + 2 + std::size_t{len} * 2 > rsrc.size()) continue;
      for (std::uint16_t k = 0; k < len; ++k)
        entry.id.text.push_back(static_cast<char16_t>(ReadLe16(rsrc, at + 2 + k * 2u)));
    } else {
      entry.id.number = static_cast<std::uint16_t>(nameField);
    }
    out.push_back(std::move(entry));
  }
  return out;
}

namespace {

bool Matches(const TResourceId& have, const TResourceId& want) {
  if (!want.text.empty()) return EqualsNoCase(have.text, want.text);
  return have.text.empty() && have.number == want.number;
}

}  // namespace

std::span<const std::uint8_t> TPeImage::FindResourceData(const TResourceId& type,
                                                         const TResourceId& name) const {
  const TPeDirectory dir = directory(kResourceDirectory);
  if (dir.rva == 0 || dir.size == 0) return {};
  const std::span<const std::uint8_t> rsrc = At(dir.rva, dir.size);
  if (rsrc.empty()) return {};
  std::uint32_t offset = 0;
  for (const TResourceId* want : {&type, &name}) {
    bool found = false;
    for (const ResourceDirEntry& e : ReadResourceDirectory(rsrc, offset)) {
      if (Matches(e.id, *want) && (e.target & 0x80000000u)) {
        offset = e.target & 0x7FFFFFFFu;
        found = true;
        break;
      }
    }
    if (!found) return {};
  }
  for (const ResourceDirEntry& e : ReadResourceDirectory(rsrc, offset)) {
    if (e.target & 0x80000000u) continue;
    if (e.target > rsrc.size() || rsrc.size() - e.target < 16) return {};
    return At(ReadLe32(rsrc, e.target), ReadLe32(rsrc, e.target + 4));
  }
  return {};
}

std::optional<TPeImage::TExportName> TPeImage::ExportAt(std::uint32_t rva) const {
  const TPeDirectory dir = directory(kExportDirectory);
  const auto table = At(dir.rva, 40);
  if (dir.rva == 0 || table.empty()) return std::nullopt;
  const std::uint32_t base = ReadLe32(table, 16);
  const std::uint32_t functionCount = ReadLe32(table, 20);
  const std::uint32_t nameCount = ReadLe32(table, 24);
  const std::uint32_t functions = ReadLe32(table, 28);
  const std::uint32_t names = ReadLe32(table, 32);
  const std::uint32_t ordinals = ReadLe32(table, 36);
  if (functionCount > 0x10000 || nameCount > 0x10000) return std::nullopt;
  const auto fnTable = At(functions, functionCount * 4);
  if (fnTable.empty() && functionCount != 0) return std::nullopt;
  for (std::uint32_t i = 0; i < functionCount; ++i) {
    if (ReadLe32(fnTable, i * 4) != rva) continue;
    TExportName out;
    out.ordinal = base + i;
    const auto nameTable = At(names, nameCount * 4);
    const auto ordTable = At(ordinals, nameCount * 2);
    if (!nameTable.empty() && !ordTable.empty()) {
      for (std::uint32_t k = 0; k < nameCount; ++k) {
        if (ReadLe16(ordTable, k * 2) != i) continue;
        if (auto name = StringAt(ReadLe32(nameTable, k * 4))) out.name = *name;
        break;
      }
    }
    return out;
  }
  return std::nullopt;
}

}  // namespace ostrel
