#include "crash/report/symbols/pdb_file.h"

#include <algorithm>
#include <cstring>

namespace ostrel {
namespace {

// Signatures with their terminating NUL: 32 and 44 bytes.
constexpr char kMsf7[] =
    "Microsoft C/C++ MSF 7.00\r\n\x1a"
    "DS\0\0";
constexpr char kPdb2[] =
    "Microsoft C/C++ program database 2.00\r\n\x1a"
    "JG\0";
static_assert(sizeof kMsf7 == 32 && sizeof kPdb2 == 44);
constexpr std::uint32_t kNilStream = 0xFFFFFFFFu;
constexpr std::uint32_t kInfoStream = 1;
constexpr std::uint32_t kCodeViewDebug = 2;

bool SaneBlockSize(std::uint32_t size) {
  return size >= 512 && size <= 32768 && (size & (size - 1)) == 0;
}

// The file reaches the end of its last block.
bool Complete(const TFilePartReader& read, std::uint64_t blocks, std::uint32_t blockSize) {
  return blocks != 0 && read(blocks * blockSize - 1, 1).has_value();
}

std::uint32_t BlocksFor(std::uint32_t bytes, std::uint32_t blockSize) {
  return bytes == kNilStream
             ? 0
             : static_cast<std::uint32_t>((std::uint64_t{bytes} + blockSize - 1) / blockSize);
}

TPdbCheck CheckMsf7(const TFilePartReader& read, std::span<const std::uint8_t> header) {
  const std::uint32_t blockSize = ReadLe32(header, 32);
  const std::uint32_t freeMap = ReadLe32(header, 36);
  const std::uint32_t blocks = ReadLe32(header, 40);
  const std::uint32_t directoryBytes = ReadLe32(header, 44);
  const std::uint32_t blockMap = ReadLe32(header, 52);
  if (!SaneBlockSize(blockSize) || (freeMap != 1 && freeMap != 2) || blockMap >= blocks ||
      directoryBytes < 8 || !Complete(read, blocks, blockSize))
    return {};
  // The directory's own block list fills at most one block.
  const auto directoryBlocks =
      static_cast<std::uint32_t>((std::uint64_t{directoryBytes} + blockSize - 1) / blockSize);
  if (std::uint64_t{directoryBlocks} * 4 > blockSize || directoryBlocks > blocks) return {};
  const auto map = read(std::uint64_t{blockMap} * blockSize, directoryBlocks * 4);
  if (!map) return {};
  std::vector<std::uint8_t> directory;
  directory.reserve(std::size_t{directoryBlocks} * blockSize);
  for (std::uint32_t i = 0; i < directoryBlocks; ++i) {
    const std::uint32_t block = ReadLe32(*map, i * 4u);
    if (block >= blocks) return {};
    const auto part = read(std::uint64_t{block} * blockSize, blockSize);
    if (!part) return {};
    directory.insert(directory.end(), part->begin(), part->end());
  }
  directory.resize(directoryBytes);

  const std::uint32_t streams = ReadLe32(directory, 0);
  std::uint64_t at = 4 + std::uint64_t{streams} * 4;
  if (at > directory.size()) return {};
  std::uint32_t infoBlock = 0, infoSize = 0;
  for (std::uint32_t s = 0; s < streams; ++s) {
    const std::uint32_t size = ReadLe32(directory, 4 + std::size_t{s} * 4);
    const std::uint32_t count = BlocksFor(size, blockSize);
    if (at + std::uint64_t{count} * 4 > directory.size()) return {};
    for (std::uint32_t b = 0; b < count; ++b) {
      const std::uint32_t block = ReadLe32(directory, static_cast<std::size_t>(at) + b * 4u);
      if (block >= blocks) return {};
      if (s == kInfoStream && b == 0) infoBlock = block;
    }
    if (s == kInfoStream) infoSize = size == kNilStream ? 0 : size;
    at += std::uint64_t{count} * 4;
  }
  // Info stream: version, signature, age, GUID.
  if (infoSize < 28) return {};
  const auto info = read(std::uint64_t{infoBlock} * blockSize, 28);
  if (!info) return {};
  TPdbIdentity identity;
  identity.age = ReadLe32(*info, 8);
  std::copy_n(info->begin() + 12, 16, identity.guid.begin());
  return {true, identity};
}

TPdbCheck CheckPdb2(const TFilePartReader& read, std::span<const std::uint8_t> header) {
  const std::uint32_t blockSize = ReadLe32(header, 44);
  const std::uint16_t pages = ReadLe16(header, 50);
  if (!SaneBlockSize(blockSize) || !Complete(read, pages, blockSize)) return {};
  return {true, std::nullopt};
}

}  // namespace

TPdbCheck CheckPdbFile(const TFilePartReader& read) {
  const auto header = read(0, 56);
  if (!header) return {};
  if (std::memcmp(header->data(), kMsf7, sizeof kMsf7) == 0) return CheckMsf7(read, *header);
  if (std::memcmp(header->data(), kPdb2, sizeof kPdb2) == 0) return CheckPdb2(read, *header);
  return {};
}

bool PdbBelongsToModule(const TPdbIdentity& pdb, const TPdbIdentity& module) {
  return pdb.guid == module.guid && pdb.age >= module.age;
}

std::optional<TPdbIdentity> ModulePdbIdentity(const TPeImage& image) {
  if (!image.valid()) return std::nullopt;
  const TPeDirectory dir = image.directory(TPeImage::kDebugDirectory);
  for (std::uint32_t at = 0; at + 28 <= dir.size && at < 28 * 16; at += 28) {
    const auto entry = image.At(dir.rva + at, 28);
    if (entry.empty()) break;
    if (ReadLe32(entry, 12) != kCodeViewDebug) continue;
    // In memory the record is at its address; in a file at its file pointer.
    const std::uint32_t size = ReadLe32(entry, 16);
    std::span<const std::uint8_t> record;
    if (image.mapped()) {
      if (ReadLe32(entry, 20) != 0) record = image.At(ReadLe32(entry, 20), size);
    } else {
      const std::uint32_t pointer = ReadLe32(entry, 24);
      const auto bytes = image.bytes();
      if (pointer <= bytes.size() && bytes.size() - pointer >= size)
        record = bytes.subspan(pointer, size);
    }
    if (record.size() < 24 || std::memcmp(record.data(), "RSDS", 4) != 0) return std::nullopt;
    TPdbIdentity identity;
    std::copy_n(record.begin() + 4, 16, identity.guid.begin());
    identity.age = ReadLe32(record, 20);
    return identity;
  }
  return std::nullopt;
}

}  // namespace ostrel
