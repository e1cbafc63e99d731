// The archive writer's file system on plain POSIX files, so archives can be
// checked with unzip and Python's zipfile.
#pragma once

#include "crash/imaging/zip_archive.h"

#include <set>

namespace ostrel::test {

class PosixZipFileSystem : public IZipFileSystem {
 public:
  std::unique_ptr<IZipOutput> CreateArchive(const std::u16string& path) override;
  bool ReadSource(const std::u16string& path, ZipSourceFile& file) override;
  void DeleteArchive(const std::u16string& path) override;

  // Writes fail once this many bytes have gone into the archive.
  std::size_t writeLimit = static_cast<std::size_t>(-1);
};

std::u16string ToU16(const std::string& utf8Ascii);

}  // namespace ostrel::test
