#include "crash/imaging/compression.h"
#include "crash/imaging/win/zip_file_system_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace ostrel {
namespace {

std::wstring TempFolder(const wchar_t* name) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  std::wstring folder = std::wstring(base) + name + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void WriteText(const std::wstring& path, const std::string& text) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
  CloseHandle(f);
}

std::vector<std::uint8_t> ReadAll(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  HANDLE f =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(f, nullptr));
  DWORD n = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
  return bytes;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(Win32ZipArchive, PacksReadableFilesWithTimesAttributesAndUtf8Names) {
  const std::wstring dir = TempFolder(L"ostrel-zip-");
  const std::wstring report = dir + L"\\bugreport.txt";
  const std::wstring locked = dir + L"\\locked.txt";
  const std::wstring picture = dir + L"\\Bild \u00E4\u20AC.png";
  WriteText(report, "report line\r\n");
  WriteText(locked, "cannot be read");
  WriteText(picture, std::string(3000, 'p'));

  // A known last-write time, in local time, and the read-only attribute.
  SYSTEMTIME st{2024, 5, 5, 17, 13, 45, 30, 0};
  FILETIME local{}, utc{};
  SystemTimeToFileTime(&st, &local);
  LocalFileTimeToFileTime(&local, &utc);
  HANDLE h =
      CreateFileW(report.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SetFileTime(h, nullptr, nullptr, &utc);
  CloseHandle(h);
  SetFileAttributesW(report.c_str(), FILE_ATTRIBUTE_READONLY);

  // Another program holds this one without sharing: it is left out.
  HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const std::wstring archive = dir + L"\\out.zip";
  EXPECT_TRUE(WriteZipArchive(archive, {report, locked, picture}, {}));
  CloseHandle(holder);

  const auto z = ReadAll(archive);
  ASSERT_GT(z.size(), 22u);
  const std::size_t end = z.size() - 22;
  ASSERT_EQ(Le32(z, end), 0x06054B50u);
  EXPECT_EQ(Le16(z, end + 8), 2);
  std::size_t at = Le32(z, end + 16);
  std::vector<std::string> names;
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(Le32(z, at), 0x02014B50u);
    EXPECT_EQ(Le16(z, at + 8), 0x0800);
    names.emplace_back(z.begin() + at + 46, z.begin() + at + 46 + Le16(z, at + 28));
    if (i == 0) {
      EXPECT_EQ(Le16(z, at + 12), (13 << 11) | (45 << 5) | 15);           // time
      EXPECT_EQ(Le16(z, at + 14), ((2024 - 1980) << 9) | (5 << 5) | 17);  // date
      EXPECT_NE(Le32(z, at + 38) & FILE_ATTRIBUTE_READONLY, 0u);
    }
    at += 46 + Le16(z, at + 28);
  }
  EXPECT_EQ(names[0], "bugreport.txt");
  EXPECT_EQ(names[1], "Bild \xC3\xA4\xE2\x82\xAC.png");
  // The second entry's data inflate back to the file.
  const std::size_t second = Le32(z, Le32(z, end + 16) + 46 + 13 + 42);
  std::vector<std::uint8_t> back(3000);
  EXPECT_EQ(InflateBuffer(z.data() + second + 30 + Le16(z, second + 26), Le32(z, second + 18),
                          back.data(), back.size()),
            3000);
  EXPECT_EQ(back, std::vector<std::uint8_t>(3000, 'p'));

  SetFileAttributesW(report.c_str(), FILE_ATTRIBUTE_NORMAL);
  // Only unreadable files: false, and the earlier archive is gone too.
  EXPECT_FALSE(WriteZipArchive(archive, {dir + L"\\missing.txt"}, {}));
  EXPECT_FALSE(Exists(archive));
  EXPECT_FALSE(WriteZipArchive(dir + L"\\no folder\\out.zip", {report}, {}));

  for (const auto& f : {report, locked, picture}) DeleteFileW(f.c_str());
  RemoveDirectoryW(dir.c_str());
}

}  // namespace
}  // namespace ostrel
