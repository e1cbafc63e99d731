// ZIP archive writer (deflated entries, UTF-8 names) over a small file-system
// interface, so the format logic runs the same on Windows and in native tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ostrel {

// One source file as the archive needs it.
struct ZipSourceFile {
  std::vector<std::uint8_t> content;
  std::uint16_t dosTime = 0;  // last write, local time
  std::uint16_t dosDate = 0;
  std::uint32_t attributes = 0;  // file-system attributes, stored as external attributes
};

// The archive being written; closed when destroyed.
class IZipOutput {
 public:
  virtual ~IZipOutput() = default;
  // True only when all bytes were written.
  virtual bool Write(const void* data, std::size_t length) = 0;
};

class IZipFileSystem {
 public:
  virtual ~IZipFileSystem() = default;
  // Creates the archive for writing, not shared, replacing any existing file.
  virtual std::unique_ptr<IZipOutput> CreateArchive(const std::u16string& path) = 0;
  // Reads a whole file (opened sharing read and write); false when it cannot.
  virtual bool ReadSource(const std::u16string& path, ZipSourceFile& file) = 0;
  virtual void DeleteArchive(const std::u16string& path) = 0;
};

// Entry name of a path: the part after its last backslash or slash.
std::u16string ZipEntryNameOf(const std::u16string& path);

// Packs the files that can be read, named by archiveNames[i] where given.
// False, and no archive left behind, when nothing was packed or writing failed.
bool WriteZipArchive(IZipFileSystem& fileSystem, const std::u16string& archivePath,
                     std::span<const std::u16string> filePaths,
                     std::span<const std::u16string> archiveNames);

}  // namespace ostrel
