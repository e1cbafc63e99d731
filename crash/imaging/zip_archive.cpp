#include "crash/imaging/zip_archive.h"

#include "crash/imaging/compression.h"
#include "crash/base/crc32.h"
#include "crash/base/utf.h"

#include <limits>
#include <new>

namespace ostrel {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint16_t kVersion = 20;
constexpr std::uint16_t kUtf8Flag = 0x0800;
constexpr std::uint16_t kDeflated = 8;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// Offsets 4 to 27 of the local header, repeated in the central directory.
struct EntryFields {
  std::uint16_t dosTime = 0;
  std::uint16_t dosDate = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t size = 0;
  std::uint32_t attributes = 0;
  std::uint32_t offset = 0;
  std::string name;
};

void PutSharedFields(std::vector<std::uint8_t>& out, const EntryFields& e) {
  Put16(out, kVersion);
  Put16(out, kUtf8Flag);
  Put16(out, kDeflated);
  Put16(out, e.dosTime);
  Put16(out, e.dosDate);
  Put32(out, e.crc);
  Put32(out, e.compressedSize);
  Put32(out, e.size);
  Put16(out, static_cast<std::uint16_t>(e.name.size()));
  Put16(out, 0);
}

std::vector<std::uint8_t> CentralDirectory(const std::vector<EntryFields>& entries,
                                           std::uint32_t directoryOffset) {
  std::vector<std::uint8_t> out;
  for (const EntryFields& e : entries) {
    Put32(out, kCentralSignature);
    Put16(out, kVersion);
    PutSharedFields(out, e);
    Put16(out, 0);  // comment length
    Put16(out, 0);  // disk number
    Put16(out, 0);  // internal attributes
    Put32(out, e.attributes);
    Put32(out, e.offset);
    out.insert(out.end(), e.name.begin(), e.name.end());
  }
  const auto directorySize = static_cast<std::uint32_t>(out.size());
  Put32(out, kEndSignature);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint16_t>(entries.size()));
  Put16(out, static_cast<std::uint16_t>(entries.size()));
  Put32(out, directorySize);
  Put32(out, directoryOffset);
  Put16(out, 0);
  return out;
}

// Reads and compresses one file; false leaves the file out of the archive.
bool PackEntry(IZipFileSystem& fileSystem, const std::u16string& path, EntryFields& entry,
               std::vector<std::uint8_t>& packed) {
  ZipSourceFile source;
  try {
    if (!fileSystem.ReadSource(path, source)) return false;
    if (source.content.size() > std::numeric_limits<std::uint32_t>::max() / 11 * 10 - 12) {
      return false;
    }
    packed.resize(source.content.size() * 11 / 10 + 12);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const int packedLength =
      DeflateBuffer(source.content.data(), source.content.size(), packed.data(), packed.size());
  // A failed compression would give a broken entry; leave the file out instead.
  if (packedLength <= 0) return false;
  packed.resize(static_cast<std::size_t>(packedLength));
  entry.crc = Crc32Update(0xFFFFFFFFu, source.content.data(), source.content.size()) ^ 0xFFFFFFFFu;
  entry.size = static_cast<std::uint32_t>(source.content.size());
  entry.compressedSize = static_cast<std::uint32_t>(packedLength);
  entry.dosTime = source.dosTime;
  entry.dosDate = source.dosDate;
  entry.attributes = source.attributes;
  return true;
}

}  // namespace

std::u16string ZipEntryNameOf(const std::u16string& path) {
  const std::size_t cut = path.find_last_of(u"\\/");
  return cut == std::u16string::npos ? path : path.substr(cut + 1);
}

bool WriteZipArchive(IZipFileSystem& fileSystem, const std::u16string& archivePath,
                     std::span<const std::u16string> filePaths,
                     std::span<const std::u16string> archiveNames) {
  std::unique_ptr<IZipOutput> archive = fileSystem.CreateArchive(archivePath);
  if (!archive) return false;
  bool failed = false;
  std::vector<EntryFields> entries;
  std::uint64_t offset = 0;
  try {
    std::vector<std::uint8_t> packed;
    std::vector<std::uint8_t> header;
    for (std::size_t i = 0; i < filePaths.size() && !failed; ++i) {
      EntryFields entry;
      // An empty name would give an entry nothing can extract; use the file's own.
      const bool named = i < archiveNames.size() && !archiveNames[i].empty();
      entry.name = Utf16ToUtf8(named ? archiveNames[i] : ZipEntryNameOf(filePaths[i]));
      // The classic format counts names in 16 bits and entries in 16 bits.
      if (entry.name.size() > 0xFFFF || entries.size() == 0xFFFF) continue;
      if (!PackEntry(fileSystem, filePaths[i], entry, packed)) continue;
      const std::uint64_t entryEnd = offset + 30 + entry.name.size() + packed.size();
      if (entryEnd > std::numeric_limits<std::uint32_t>::max()) {
        failed = true;  // the archive would outgrow its 32-bit offsets
        break;
      }
      entry.offset = static_cast<std::uint32_t>(offset);
      header.clear();
      Put32(header, kLocalSignature);
      PutSharedFields(header, entry);
      header.insert(header.end(), entry.name.begin(), entry.name.end());
      if (!archive->Write(header.data(), header.size()) ||
          !archive->Write(packed.data(), packed.size())) {
        failed = true;
        break;
      }
      offset = entryEnd;
      entries.push_back(std::move(entry));
    }
    if (!failed && !entries.empty()) {
      const std::vector<std::uint8_t> directory =
          CentralDirectory(entries, static_cast<std::uint32_t>(offset));
      if (offset + directory.size() > std::numeric_limits<std::uint32_t>::max() ||
          !archive->Write(directory.data(), directory.size())) {
        failed = true;
      }
    }
  } catch (const std::bad_alloc&) {
    failed = true;
  }
  archive.reset();
  if (failed || entries.empty()) {
    fileSystem.DeleteArchive(archivePath);
    return false;
  }
  return true;
}

}  // namespace ostrel
