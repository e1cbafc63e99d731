#include "tools/common/file_io.h"

#include <fstream>
#include <iterator>

namespace ostrel::tools {

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

bool WriteFile(const std::string& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  // Closed here, not by the destructor, so that a failed flush is seen.
  out.close();
  return !out.fail();
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  return WriteFile(path, bytes.data(), bytes.size());
}

}  // namespace ostrel::tools
