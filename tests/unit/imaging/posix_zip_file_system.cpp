#include "tests/unit/imaging/posix_zip_file_system.h"
#include "crash/base/utf.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>

namespace ostrel::test {
namespace {

std::string ToNative(const std::u16string& path) { return Utf16ToUtf8(path); }

class PosixOutput : public IZipOutput {
 public:
  PosixOutput(std::FILE* file, std::size_t limit) : file_(file), left_(limit) {}
  ~PosixOutput() override { std::fclose(file_); }
  bool Write(const void* data, std::size_t length) override {
    if (length > left_) {
      std::fwrite(data, 1, left_, file_);
      left_ = 0;
      return false;
    }
    left_ -= length;
    return std::fwrite(data, 1, length, file_) == length;
  }

 private:
  std::FILE* file_;
  std::size_t left_;
};

}  // namespace

std::u16string ToU16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::unique_ptr<IZipOutput> PosixZipFileSystem::CreateArchive(const std::u16string& path) {
  std::FILE* file = std::fopen(ToNative(path).c_str(), "wb");
  if (file == nullptr) return nullptr;
  return std::make_unique<PosixOutput>(file, writeLimit);
}

bool PosixZipFileSystem::ReadSource(const std::u16string& path, ZipSourceFile& file) {
  const std::string native = ToNative(path);
  struct stat info {};
  if (stat(native.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::ifstream in(native, std::ios::binary);
  if (!in) return false;
  file.content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  std::tm local{};
  localtime_r(&info.st_mtime, &local);
  file.dosTime =
      static_cast<std::uint16_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
  file.dosDate = static_cast<std::uint16_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 |
                                            local.tm_mday);
  file.attributes = 0x20;  // archive
  return true;
}

void PosixZipFileSystem::DeleteArchive(const std::u16string& path) {
  std::remove(ToNative(path).c_str());
}

}  // namespace ostrel::test
