// Files of the symbol tests: the test program's own folder, and copies of
// modules written to scratch folders and loaded from there.
#pragma once

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ostrel::test {

inline std::wstring Folder(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

inline std::wstring OwnPath() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, n);
}

inline std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& data) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// A fresh folder under the temporary folder, named after the process.
inline std::wstring ScratchFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

}  // namespace ostrel::test
