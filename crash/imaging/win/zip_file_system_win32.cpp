#include "crash/imaging/win/zip_file_system_win32.h"
#include "crash/base/win/wide_text.h"

#include <windows.h>

#include <new>

namespace ostrel {
namespace {

class Win32Output : public IZipOutput {
 public:
  explicit Win32Output(HANDLE file) : file_(file) {}
  ~Win32Output() override { CloseHandle(file_); }
  bool Write(const void* data, std::size_t length) override {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
      const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 24));
      DWORD written = 0;
      if (!WriteFile(file_, p, piece, &written, nullptr) || written != piece) return false;
      p += piece;
      length -= piece;
    }
    return true;
  }

 private:
  HANDLE file_;
};

// Last-write time as a local DOS date and time; dates before 1980 clamp to it.
void DosTimeOf(const FILETIME& written, ZipSourceFile& file) {
  FILETIME local{};
  WORD date = 0x21, time = 0;  // 1980-01-01 00:00
  if (FileTimeToLocalFileTime(&written, &local) && FileTimeToDosDateTime(&local, &date, &time)) {
    file.dosDate = date;
    file.dosTime = time;
  } else {
    file.dosDate = 0x21;
    file.dosTime = 0;
  }
}

}  // namespace

std::unique_ptr<IZipOutput> Win32ZipFileSystem::CreateArchive(const std::u16string& path) {
  HANDLE file = CreateFileW(WidePtr(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32Output>(file);
}

bool Win32ZipFileSystem::ReadSource(const std::u16string& path, ZipSourceFile& file) {
  HANDLE handle = CreateFileW(WidePtr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool ok = false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(handle, &info) && info.nFileSizeHigh == 0 &&
      info.nFileSizeLow <= 0x7FFFFFFF) {
    try {
      file.content.resize(info.nFileSizeLow);
      DWORD done = 0;
      ok = true;
      while (ok && done < info.nFileSizeLow) {
        DWORD got = 0;
        ok =
            ReadFile(handle, file.content.data() + done, info.nFileSizeLow - done, &got, nullptr) &&
            got != 0;
        done += got;
      }
    } catch (const std::bad_alloc&) {
      ok = false;
    }
    file.attributes = info.dwFileAttributes;
    DosTimeOf(info.ftLastWriteTime, file);
  }
  CloseHandle(handle);
  return ok;
}

void Win32ZipFileSystem::DeleteArchive(const std::u16string& path) { DeleteFileW(WidePtr(path)); }

bool WriteZipArchive(const std::wstring& archivePath, const std::vector<std::wstring>& filePaths,
                     const std::vector<std::wstring>& archiveNames) {
  try {
    std::vector<std::u16string> paths, names;
    for (const std::wstring& p : filePaths) paths.push_back(FromWide(p));
    for (const std::wstring& n : archiveNames) names.push_back(FromWide(n));
    Win32ZipFileSystem fileSystem;
    return WriteZipArchive(fileSystem, FromWide(archivePath), paths, names);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace ostrel
