#include "tools/settings/pe_resources.h"

#include <stdexcept>

namespace ostrel {

namespace {

class Image {
 public:
  explicit Image(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint16_t U16(std::uint64_t at) const {
    Need(at, 2);
    return static_cast<std::uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
  }
  std::uint32_t U32(std::uint64_t at) const {
    Need(at, 4);
    return static_cast<std::uint32_t>(bytes_[at]) | bytes_[at + 1] << 8 | bytes_[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes_[at + 3]) << 24;
  }
  void Need(std::uint64_t at, std::uint64_t n) const {
    if (at + n > bytes_.size()) throw std::runtime_error("PE file is truncated or corrupt");
  }
  std::span<const std::uint8_t> Bytes(std::uint64_t at, std::uint64_t n) const {
    Need(at, n);
    return bytes_.subspan(at, n);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

struct Section {
  std::uint32_t va, vsize, raw, rawSize;
};

char16_t Upper(char16_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

}  // namespace

std::optional<PeResource> FindPeResource(std::span<const std::uint8_t> bytes, std::uint16_t type,
                                         std::u16string_view name) {
  const Image img(bytes);
  if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z')
    throw std::runtime_error("not a PE file (no MZ header)");
  const std::uint32_t pe = img.U32(0x3C);
  if (img.U32(pe) != 0x00004550) throw std::runtime_error("not a PE file (no PE signature)");
  const std::uint16_t sectionCount = img.U16(pe + 6);
  const std::uint16_t optSize = img.U16(pe + 20);
  const std::uint64_t opt = pe + 24;
  const std::uint16_t magic = img.U16(opt);
  std::uint64_t dirCountAt, dirs;
  if (magic == 0x10B) {
    dirCountAt = opt + 92, dirs = opt + 96;
  } else if (magic == 0x20B) {
    dirCountAt = opt + 108, dirs = opt + 112;
  } else {
    throw std::runtime_error("unknown PE optional header");
  }
  if (img.U32(dirCountAt) <= 2) return std::nullopt;
  const std::uint32_t rsrcRva = img.U32(dirs + 2 * 8);
  if (rsrcRva == 0) return std::nullopt;

  std::vector<Section> sections;
  const std::uint64_t table = opt + optSize;
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t s = table + 40ull * i;
    sections.push_back({img.U32(s + 12), img.U32(s + 8), img.U32(s + 20), img.U32(s + 16)});
  }
  auto toOffset = [&](std::uint32_t rva, std::uint32_t size) -> std::uint64_t {
    for (const Section& s : sections) {
      const std::uint32_t extent = std::max(s.vsize, s.rawSize);
      if (rva >= s.va && rva - s.va < extent) {
        const std::uint64_t within = rva - s.va;
        if (within + size > s.rawSize)
          throw std::runtime_error("resource lies outside its section");
        return s.raw + within;
      }
    }
    throw std::runtime_error("resource address is in no section");
  };
  const std::uint64_t root = toOffset(rsrcRva, 16);

  // Entry of a directory: by id, or by name (ids 0 with name).
  auto find = [&](std::uint64_t dir, std::optional<std::uint16_t> id,
                  std::u16string_view wanted) -> std::optional<std::uint32_t> {
    const std::uint32_t count = std::uint32_t{img.U16(dir + 12)} + img.U16(dir + 14);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint64_t e = dir + 16 + 8ull * i;
      const std::uint32_t nameField = img.U32(e);
      const std::uint32_t target = img.U32(e + 4);
      if (!id && wanted.empty()) return target;  // first entry
      if (nameField & 0x80000000u) {
        if (id) continue;
        const std::uint64_t str = root + (nameField & 0x7FFFFFFFu);
        const std::uint16_t len = img.U16(str);
        if (len != wanted.size()) continue;
        bool same = true;
        for (std::uint16_t k = 0; k < len && same; ++k)
          same = Upper(static_cast<char16_t>(img.U16(str + 2 + 2ull * k))) == Upper(wanted[k]);
        if (same) return target;
      } else if (id && nameField == *id) {
        return target;
      }
    }
    return std::nullopt;
  };
  auto subdir = [&](std::uint32_t target) -> std::uint64_t {
    if (!(target & 0x80000000u)) throw std::runtime_error("resource directory is malformed");
    return root + (target & 0x7FFFFFFFu);
  };

  const auto typeEntry = find(root, type, u"");
  if (!typeEntry) return std::nullopt;
  const auto nameEntry = find(subdir(*typeEntry), std::nullopt, name);
  if (!nameEntry) return std::nullopt;
  const std::uint64_t langDir = subdir(*nameEntry);
  if (img.U16(langDir + 12) + img.U16(langDir + 14) == 0) return std::nullopt;
  const std::uint32_t langName = img.U32(langDir + 16);
  const std::uint32_t dataTarget = img.U32(langDir + 20);
  if (dataTarget & 0x80000000u) throw std::runtime_error("resource directory is malformed");
  const std::uint64_t entry = root + dataTarget;
  PeResource r;
  r.rva = img.U32(entry);
  const std::uint32_t size = img.U32(entry + 4);
  r.language = static_cast<std::uint16_t>(langName);
  const auto data = img.Bytes(toOffset(r.rva, size), size);
  r.data.assign(data.begin(), data.end());
  return r;
}

}  // namespace ostrel
