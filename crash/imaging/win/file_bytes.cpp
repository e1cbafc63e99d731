#include "crash/imaging/win/file_bytes.h"

#include <windows.h>

#include <new>

namespace ostrel {

bool WriteBytesToFile(const wchar_t* path, const std::vector<std::uint8_t>& bytes) {
  if (path == nullptr || bytes.size() > MAXDWORD) return false;
  HANDLE file =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != bytes.size()) {
    DeleteFileW(path);
    return false;
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const wchar_t* path,
                                                       std::uint64_t maxBytes) {
  if (path == nullptr) return std::nullopt;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::vector<std::uint8_t>> result;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && static_cast<std::uint64_t>(size.QuadPart) <= maxBytes) {
    try {
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
      std::size_t done = 0;
      bool ok = true;
      while (ok && done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
        ok = ReadFile(file, bytes.data() + done, want, &got, nullptr) && got != 0;
        done += got;
      }
      if (ok) result = std::move(bytes);
    } catch (const std::bad_alloc&) {
    }
  }
  CloseHandle(file);
  return result;
}

}  // namespace ostrel
