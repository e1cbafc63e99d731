#include "tools/symbols/file_environment.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "crash/report/symbols/symbol_text.h"

namespace ostrel::tools {

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return data;
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& data) {
  // Written beside and renamed, so a failed write never leaves half a file.
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    if (!out.flush()) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) std::filesystem::remove(temp, ec);
  return !ec;
}

std::optional<std::vector<std::uint8_t>> TFileEnvironment::ReadWholeFile(
    const std::u16string& path) {
  return ReadFileBytes(Utf16ToUtf8(path));
}

bool TFileEnvironment::FileExists(const std::u16string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(Utf16ToUtf8(path), ec);
}

std::optional<std::int64_t> TFileEnvironment::LastWriteMinutes(const std::u16string& path) {
  std::error_code ec;
  const auto time = std::filesystem::last_write_time(Utf16ToUtf8(path), ec);
  if (ec) return std::nullopt;
  return std::chrono::duration_cast<std::chrono::minutes>(time.time_since_epoch()).count();
}

}  // namespace ostrel::tools
