#include "tools/settings/pe_resources.h"

#include <algorithm>
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

// The resource tree of a PE image: the headers are checked on construction,
// every read afterwards is bounds-checked.
class ResourceTree {
 public:
  explicit ResourceTree(std::span<const std::uint8_t> bytes) : img_(bytes) {
    if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z')
      throw std::runtime_error("not a PE file (no MZ header)");
    const std::uint32_t pe = img_.U32(0x3C);
    if (img_.U32(pe) != 0x00004550) throw std::runtime_error("not a PE file (no PE signature)");
    const std::uint16_t sectionCount = img_.U16(pe + 6);
    const std::uint16_t optSize = img_.U16(pe + 20);
    const std::uint64_t opt = pe + 24;
    const std::uint16_t magic = img_.U16(opt);
    std::uint64_t dirCountAt, dirs;
    if (magic == 0x10B) {
      dirCountAt = opt + 92, dirs = opt + 96;
    } else if (magic == 0x20B) {
      dirCountAt = opt + 108, dirs = opt + 112;
    } else {
      throw std::runtime_error("unknown PE optional header");
    }
    if (img_.U32(dirCountAt) <= 2) return;
    const std::uint32_t rsrcRva = img_.U32(dirs + 2 * 8);
    if (rsrcRva == 0) return;
    const std::uint64_t table = opt + optSize;
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
      const std::uint64_t s = table + 40ull * i;
      sections_.push_back({img_.U32(s + 12), img_.U32(s + 8), img_.U32(s + 20), img_.U32(s + 16)});
    }
    root_ = ToOffset(rsrcRva, 16);
  }

  // Empty when the image has no resources.
  std::optional<std::uint64_t> root() const { return root_; }

  std::uint32_t EntryCount(std::uint64_t dir) const {
    return std::uint32_t{img_.U16(dir + 12)} + img_.U16(dir + 14);
  }
  std::uint32_t NameField(std::uint64_t dir, std::uint32_t i) const {
    return img_.U32(dir + 16 + 8ull * i);
  }
  std::uint32_t Target(std::uint64_t dir, std::uint32_t i) const {
    return img_.U32(dir + 16 + 8ull * i + 4);
  }
  std::u16string Name(std::uint32_t nameField) const {
    const std::uint64_t str = *root_ + (nameField & 0x7FFFFFFFu);
    const std::uint16_t len = img_.U16(str);
    img_.Need(str + 2, 2ull * len);
    std::u16string name(len, u'\0');
    for (std::uint16_t k = 0; k < len; ++k)
      name[k] = static_cast<char16_t>(img_.U16(str + 2 + 2ull * k));
    return name;
  }
  std::uint64_t Subdir(std::uint32_t target) const {
    if (!(target & 0x80000000u)) throw std::runtime_error("resource directory is malformed");
    return *root_ + (target & 0x7FFFFFFFu);
  }

  // The entry of `dir` with numeric id `id`.
  std::optional<std::uint32_t> FindId(std::uint64_t dir, std::uint16_t id) const {
    for (std::uint32_t i = 0, n = EntryCount(dir); i < n; ++i) {
      const std::uint32_t field = NameField(dir, i);
      if (!(field & 0x80000000u) && field == id) return Target(dir, i);
    }
    return std::nullopt;
  }

  // The entry of `dir` named `wanted` without regard to case.
  std::optional<std::uint32_t> FindName(std::uint64_t dir, std::u16string_view wanted) const {
    for (std::uint32_t i = 0, n = EntryCount(dir); i < n; ++i) {
      const std::uint32_t field = NameField(dir, i);
      if (!(field & 0x80000000u)) continue;
      const std::uint64_t str = *root_ + (field & 0x7FFFFFFFu);
      const std::uint16_t len = img_.U16(str);
      if (len != wanted.size()) continue;
      bool same = true;
      for (std::uint16_t k = 0; k < len && same; ++k)
        same = Upper(static_cast<char16_t>(img_.U16(str + 2 + 2ull * k))) == Upper(wanted[k]);
      if (same) return Target(dir, i);
    }
    return std::nullopt;
  }

  // The first language's data of a name entry; empty when it has none.
  std::optional<PeResource> Data(std::uint32_t nameTarget) const {
    const std::uint64_t langDir = Subdir(nameTarget);
    if (EntryCount(langDir) == 0) return std::nullopt;
    const std::uint32_t langName = NameField(langDir, 0);
    const std::uint32_t dataTarget = Target(langDir, 0);
    if (dataTarget & 0x80000000u) throw std::runtime_error("resource directory is malformed");
    const std::uint64_t entry = *root_ + dataTarget;
    PeResource r;
    r.rva = img_.U32(entry);
    const std::uint32_t size = img_.U32(entry + 4);
    r.language = static_cast<std::uint16_t>(langName);
    const auto data = img_.Bytes(ToOffset(r.rva, size), size);
    r.data.assign(data.begin(), data.end());
    return r;
  }

 private:
  std::uint64_t ToOffset(std::uint32_t rva, std::uint32_t size) const {
    for (const Section& s : sections_) {
      const std::uint32_t extent = std::max(s.vsize, s.rawSize);
      if (rva >= s.va && rva - s.va < extent) {
        const std::uint64_t within = rva - s.va;
        if (within + size > s.rawSize)
          throw std::runtime_error("resource lies outside its section");
        return s.raw + within;
      }
    }
    throw std::runtime_error("resource address is in no section");
  }

  Image img_;
  std::vector<Section> sections_;
  std::optional<std::uint64_t> root_;
};

}  // namespace

std::optional<PeResource> FindPeResource(std::span<const std::uint8_t> bytes, std::uint16_t type,
                                         std::u16string_view name) {
  const ResourceTree tree(bytes);
  if (!tree.root()) return std::nullopt;
  const auto typeEntry = tree.FindId(*tree.root(), type);
  if (!typeEntry) return std::nullopt;
  const auto nameEntry = tree.FindName(tree.Subdir(*typeEntry), name);
  if (!nameEntry) return std::nullopt;
  return tree.Data(*nameEntry);
}

std::vector<std::u16string> ListPeResourceNames(std::span<const std::uint8_t> bytes,
                                                std::uint16_t type) {
  const ResourceTree tree(bytes);
  std::vector<std::u16string> names;
  if (!tree.root()) return names;
  const auto typeEntry = tree.FindId(*tree.root(), type);
  if (!typeEntry) return names;
  const std::uint64_t dir = tree.Subdir(*typeEntry);
  for (std::uint32_t i = 0, n = tree.EntryCount(dir); i < n; ++i) {
    const std::uint32_t field = tree.NameField(dir, i);
    if (field & 0x80000000u) names.push_back(tree.Name(field));
  }
  return names;
}

}  // namespace ostrel
