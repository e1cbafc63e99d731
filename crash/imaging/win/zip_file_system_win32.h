// The ZIP writer on Windows files.
#pragma once

#include "crash/imaging/zip_archive.h"

#include <string>
#include <vector>

namespace ostrel {

class Win32ZipFileSystem : public IZipFileSystem {
 public:
  std::unique_ptr<IZipOutput> CreateArchive(const std::u16string& path) override;
  bool ReadSource(const std::u16string& path, ZipSourceFile& file) override;
  void DeleteArchive(const std::u16string& path) override;
};

// Packs the readable files into a new archive; names default to the part of
// each path after its last backslash. False leaves no archive behind.
bool WriteZipArchive(const std::wstring& archivePath, const std::vector<std::wstring>& filePaths,
                     const std::vector<std::wstring>& archiveNames);

}  // namespace ostrel
