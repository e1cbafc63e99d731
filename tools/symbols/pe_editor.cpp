#include "tools/symbols/pe_editor.h"

#include <algorithm>
#include <cstring>

namespace ostrel::tools {
namespace {

std::uint32_t AlignUp(std::uint32_t v, std::uint32_t a) { return a == 0 ? v : (v + a - 1) / a * a; }

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

bool IsDebug(const TPeSection& s) { return s.name.rfind(".debug", 0) == 0; }

// The checksum the image loader verifies for drivers; kept right when set.
std::uint32_t PeChecksum(const std::vector<std::uint8_t>& b, std::size_t checksumAt) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < b.size(); i += 2) {
    if (i == checksumAt || i == checksumAt + 2) continue;
    std::uint32_t word = b[i];
    if (i + 1 < b.size()) word |= static_cast<std::uint32_t>(b[i + 1]) << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum) + static_cast<std::uint32_t>(b.size());
}

}  // namespace

std::vector<std::uint8_t> MapImage(const TPeImage& file) {
  std::vector<std::uint8_t> image(file.sizeOfImage(), 0);
  const auto bytes = file.bytes();
  std::copy_n(bytes.begin(),
              std::min<std::size_t>({file.sizeOfHeaders(), bytes.size(), image.size()}),
              image.begin());
  for (const TPeSection& s : file.sections()) {
    if (s.virtualAddress >= image.size() || s.rawPointer >= bytes.size()) continue;
    std::size_t n =
        std::min<std::size_t>(s.rawSize, s.virtualSize != 0 ? s.virtualSize : s.rawSize);
    n = std::min({n, bytes.size() - s.rawPointer, image.size() - s.virtualAddress});
    std::copy_n(bytes.begin() + s.rawPointer, n, image.begin() + s.virtualAddress);
  }
  return image;
}

std::vector<std::uint8_t> EditPe(const std::vector<std::uint8_t>& input, const TPeEdit& edit,
                                 std::string& error) {
  const TPeImage pe(input, false);
  if (!pe.valid()) {
    error = "not a 32-bit PE image";
    return {};
  }
  std::vector<TPeSection> kept = pe.sections();
  const TPeDirectory rsrcDir = pe.directory(TPeImage::kResourceDirectory);
  // A resource section an earlier run appended is replaced, not stacked.
  std::uint32_t fileEnd = static_cast<std::uint32_t>(input.size());
  if (kept.size() > 1 && kept.back().name == ".rsrc" && kept.back().virtualAddress == rsrcDir.rva &&
      std::any_of(kept.begin(), kept.end(),
                  [](const TPeSection& s) { return s.name == ".rsrc0"; })) {
    fileEnd = kept.back().rawPointer;
    kept.pop_back();
  }
  if (edit.stripDebug) {
    const auto firstDebug = std::find_if(kept.begin(), kept.end(), IsDebug);
    if (std::any_of(firstDebug, kept.end(), [](const TPeSection& s) { return !IsDebug(s); })) {
      error = "debug sections are not the last sections; refusing to move anything";
      return {};
    }
    kept.erase(firstDebug, kept.end());
  }
  const std::size_t tableAt = pe.sectionTableOffset();
  if (tableAt + (kept.size() + 1) * 40 > pe.sizeOfHeaders()) {
    error = "no room in the headers for another section";
    return {};
  }
  // File end: everything up to the last kept section, or the whole file
  // (symbol table included) when nothing is stripped.
  std::uint32_t rawEnd = pe.sizeOfHeaders();
  std::uint32_t imageEnd = AlignUp(pe.sizeOfHeaders(), pe.sectionAlignment());
  for (const TPeSection& s : kept) {
    rawEnd = std::max(rawEnd, s.rawPointer + s.rawSize);
    imageEnd = std::max(imageEnd, AlignUp(s.virtualAddress + std::max(s.virtualSize, s.rawSize),
                                          pe.sectionAlignment()));
  }
  if (edit.stripDebug) fileEnd = rawEnd;
  std::vector<std::uint8_t> out(input.begin(),
                                input.begin() + std::min<std::size_t>(fileEnd, input.size()));
  const std::uint32_t rawAt = AlignUp(static_cast<std::uint32_t>(out.size()), pe.fileAlignment());
  out.resize(rawAt, 0);
  const std::vector<std::uint8_t> rsrc = BuildResourceSection(edit.resources, imageEnd);
  const auto rawSize = AlignUp(static_cast<std::uint32_t>(rsrc.size()), pe.fileAlignment());
  out.insert(out.end(), rsrc.begin(), rsrc.end());
  out.resize(rawAt + rawSize, 0);

  // Section table: the kept headers as they were, the old resource section
  // renamed, the new one last; stale headers beyond are cleared.
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(tableAt),
            out.begin() + static_cast<std::ptrdiff_t>(tableAt + pe.sections().size() * 40), 0);
  for (std::size_t i = 0; i < kept.size(); ++i) {
    std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(kept[i].headerOffset), 40,
                out.begin() + static_cast<std::ptrdiff_t>(tableAt + i * 40));
    std::uint8_t* name = out.data() + tableAt + i * 40;
    if (kept[i].name == ".rsrc") {
      std::memcpy(name, ".rsrc0\0\0", 8);
    } else if (edit.stripDebug && name[0] == '/') {
      // Long names live in the string table, which goes with the symbols.
      std::memset(name, 0, 8);
      std::memcpy(name, kept[i].name.data(), std::min<std::size_t>(kept[i].name.size(), 8));
    }
  }
  const std::size_t h = tableAt + kept.size() * 40;
  std::memcpy(out.data() + h, ".rsrc\0\0\0", 8);
  Put32(out, h + 8, static_cast<std::uint32_t>(rsrc.size()));
  Put32(out, h + 12, imageEnd);
  Put32(out, h + 16, rawSize);
  Put32(out, h + 20, rawAt);
  Put32(out, h + 36, 0x40000040);  // initialised data, readable

  const std::size_t fileHeader = pe.peOffset() + 4;
  const std::size_t opt = pe.optionalHeaderOffset();
  Put16(out, fileHeader + 2, static_cast<std::uint16_t>(kept.size() + 1));
  if (edit.stripDebug) {
    Put32(out, fileHeader + 8, 0);
    Put32(out, fileHeader + 12, 0);
  }
  Put32(out, opt + 8, ReadLe32(out, opt + 8) + rawSize);  // size of initialised data
  Put32(out, opt + 56,
        AlignUp(imageEnd + static_cast<std::uint32_t>(rsrc.size()), pe.sectionAlignment()));
  Put32(out, opt + 96 + 8 * TPeImage::kResourceDirectory, imageEnd);
  Put32(out, opt + 100 + 8 * TPeImage::kResourceDirectory, static_cast<std::uint32_t>(rsrc.size()));
  if (ReadLe32(out, opt + 64) != 0) Put32(out, opt + 64, PeChecksum(out, opt + 64));
  return out;
}

}  // namespace ostrel::tools
