#include "crash/report/symbols/win/win32_environment.h"

#include "crash/report/symbols/win/dbg_help_reader.h"
#include "crash/base/win/wide_text.h"

namespace ostrel {

std::span<const std::uint8_t> TWin32SymbolEnvironment::MappedImage() {
  if (module_ == nullptr) return {};
  const auto* base = reinterpret_cast<const std::uint8_t*>(module_);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return {};
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return {};
  return {base, nt->OptionalHeader.SizeOfImage};
}

namespace {

// Others may keep writing the file; we only read it.
HANDLE OpenForReading(const std::u16string& path) {
  return CreateFileW(WidePtr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> TWin32SymbolEnvironment::ReadWholeFile(
    const std::u16string& path) {
  HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::vector<std::uint8_t>> out;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart >= 0 && size.QuadPart < (1LL << 30)) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (data.empty() ||
        (ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &read, nullptr) &&
         read == data.size()))
      out = std::move(data);
  }
  CloseHandle(file);
  return out;
}

std::optional<std::vector<std::uint8_t>> TWin32SymbolEnvironment::ReadFilePart(
    const std::u16string& path, std::uint64_t offset, std::uint32_t length) {
  HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::vector<std::uint8_t>> out;
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(offset);
  std::vector<std::uint8_t> data(length);
  DWORD read = 0;
  if (offset < (1ULL << 62) && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
      (data.empty() || ReadFile(file, data.data(), length, &read, nullptr)) && read == length)
    out = std::move(data);
  CloseHandle(file);
  return out;
}

bool TWin32SymbolEnvironment::FileExists(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(WidePtr(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::int64_t> TWin32SymbolEnvironment::LastWriteMinutes(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(WidePtr(path), GetFileExInfoStandard, &data)) return std::nullopt;
  const std::uint64_t ticks = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                              data.ftLastWriteTime.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 600000000ULL);
}

bool TWin32SymbolEnvironment::ReadPdb(TMapFile& symbols, const std::u16string& path) {
  return ReadPdbThroughDbgHelp(symbols, path);
}

}  // namespace ostrel
