#include <gtest/gtest.h>

#include "tests/support/skip_or_fail.h"
#include <windows.h>

#include <string>
#include <vector>

#include "crash/report/lists/win/system_lists.h"

namespace ostrel {
namespace {

std::vector<std::u16string> Lines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find(u"\r\n", start);
    lines.push_back(text.substr(start, end == std::u16string::npos ? end : end - start));
    if (end == std::u16string::npos) break;
    start = end + 2;
  }
  return lines;
}

std::u16string Hex8(std::uintptr_t v) {
  wchar_t text[16];
  wsprintfW(text, L"%08x", static_cast<unsigned>(v));
  return std::u16string(text, text + 8);
}

std::u16string OwnName() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::u16string p(path, path + lstrlenW(path));
  return p.substr(p.rfind(u'\\') + 1);
}

TEST(SystemLists, ModulesOfThisProcessInAlignedColumns) {
  const std::u16string text = ListModules();
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.substr(0, 2), u"\r\n");
  EXPECT_NE(text.substr(text.size() - 2), u"\r\n");
  const auto lines = Lines(text);
  bool self = false, kernel = false;
  std::size_t versionColumn = 0;
  for (const std::u16string& line : lines) {
    ASSERT_GT(line.size(), 9u) << std::string(line.begin(), line.end());
    EXPECT_EQ(line[8], u' ');
    if (line.find(u".exe") != std::u16string::npos &&
        line.find(OwnName()) != std::u16string::npos) {
      self = line.substr(0, 8) == Hex8(reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr)));
    }
    if (line.find(u"kernel32.dll") == 9) {
      kernel = true;
      // The version column starts where the longest name's column ends.
      versionColumn = line.find_first_not_of(u' ', 9 + 12);
    }
  }
  EXPECT_TRUE(self) << "this program at its own load address";
  EXPECT_TRUE(kernel);
  for (const std::u16string& line : lines) {
    if (line.find(u"ntdll.dll") == 9) {
      EXPECT_EQ(line.find_first_not_of(u' ', 9 + 9), versionColumn);
    }
  }
}

TEST(SystemLists, ProcessesIncludeThisOne) {
  const std::u16string text = ListProcesses();
  ASSERT_FALSE(text.empty());
  bool found = false;
  for (const std::u16string& line : Lines(text)) {
    const std::size_t blank = line.find(u' ');
    ASSERT_NE(blank, std::u16string::npos);
    const unsigned long id =
        std::stoul(std::string(line.begin(), line.begin() + blank), nullptr, 16);
    if (id == GetCurrentProcessId()) {
      found = line.find(OwnName()) == blank + 1;
      EXPECT_NE(line.find(u"normal"), std::u16string::npos) << "its own priority class";
    }
  }
  EXPECT_TRUE(found);
}

TEST(SystemLists, HardwareIsClassesWithTheirDevices) {
  const std::u16string text = ListHardware();
  if (text.empty()) PELMORA_SKIP_OR_FAIL("this system reports no devices");
  const auto lines = Lines(text);
  EXPECT_EQ(lines.front().substr(0, 2), u"+ ");
  for (const std::u16string& line : lines) {
    EXPECT_TRUE(line.rfind(u"+ ", 0) == 0 || line.rfind(u"  - ", 0) == 0)
        << std::string(line.begin(), line.end());
  }
}

TEST(SystemLists, FileVersionsAsFourNumbers) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring kernel = std::wstring(system) + L"\\kernel32.dll";
  const std::u16string version = FormatFileVersion(std::u16string(kernel.begin(), kernel.end()));
  int dots = 0;
  for (char16_t c : version) dots += c == u'.';
  EXPECT_EQ(dots, 3) << std::string(version.begin(), version.end());
  EXPECT_EQ(FormatFileVersion(u"C:\\no such file.dll"), u"");
}

}  // namespace
}  // namespace ostrel
