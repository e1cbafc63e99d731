#include "crash/report/lists/list_text.h"

#include <gtest/gtest.h>

#include "crash/report/lists/long_path.h"

namespace ostrel {
namespace {

TEST(ListText, ModulesLineUpInColumns) {
  const std::vector<ModuleEntry> modules = {
      {0x400000, u"app.exe", u"C:\\Tools", u"1.2.0.0"},
      {0x7c800000, u"kernel32.dll", u"C:\\Windows\\system32", u"5.1.2600.5781"},
      {0x10000000, u"noversion.dll", u"C:\\Tools", u""}};
  const std::u16string text = FormatModuleList(modules);
  EXPECT_EQ(text,
            u"00400000 app.exe       1.2.0.0       C:\\Tools\r\n"
            u"7c800000 kernel32.dll  5.1.2600.5781 C:\\Windows\\system32\r\n"
            u"10000000 noversion.dll               C:\\Tools");
  EXPECT_EQ(FormatModuleList({}), u"");
}

TEST(ListText, ProcessesWithAndWithoutSessions) {
  ProcessEntry idle;
  idle.fileName = u"Idle";
  ProcessEntry app;
  app.fileName = u"app.exe";
  app.directory = u"C:\\Tools";
  app.processId = 0x1a8;
  app.sessionId = 1;
  app.priorityClass = 32;
  app.gdiObjects = 35;
  app.userObjects = 12;
  const std::u16string text = FormatProcessList({idle, app});
  EXPECT_EQ(text,
            u"000 Idle    0 0  0         \r\n"
            u"1a8 app.exe 1 35 12 normal C:\\Tools");
  app.sessionId = 0;
  EXPECT_EQ(FormatProcessList({idle, app}),
            u"000 Idle    0  0         \r\n"
            u"1a8 app.exe 35 12 normal C:\\Tools")
      << "no session column when every id is 0";
  EXPECT_EQ(FormatProcessList({}), u"");
}

TEST(ListText, PriorityTexts) {
  EXPECT_EQ(PriorityText(-1), u"");
  EXPECT_EQ(PriorityText(0), u"");
  EXPECT_EQ(PriorityText(64), u"idle");
  EXPECT_EQ(PriorityText(0x8000), u"above normal");
  EXPECT_EQ(PriorityText(0x4000), u"below normal");
  EXPECT_EQ(PriorityText(0x1234), u"$1234");
}

TEST(ListText, ProcessPathsAndSplitting) {
  const std::u16string system = u"C:\\Windows\\system32";
  EXPECT_EQ(OrdinaryProcessPath(u"\\SystemRoot\\System32\\smss.exe", system),
            u"C:\\Windows\\system32\\smss.exe");
  EXPECT_EQ(OrdinaryProcessPath(u"\\systemroot\\SYSTEM32\\csrss.exe", system),
            u"C:\\Windows\\system32\\csrss.exe");
  EXPECT_EQ(OrdinaryProcessPath(u"\\??\\C:\\Windows\\system32\\winlogon.exe", system),
            u"C:\\Windows\\system32\\winlogon.exe");
  EXPECT_EQ(OrdinaryProcessPath(u"C:\\a.exe", system), u"C:\\a.exe");
  std::u16string dir, name;
  SplitAtLastBackslash(u"C:\\Tools\\app.exe", dir, name);
  EXPECT_EQ(dir, u"C:\\Tools");
  EXPECT_EQ(name, u"app.exe");
  SplitAtLastBackslash(u"Idle", dir, name);
  EXPECT_EQ(dir, u"");
  EXPECT_EQ(name, u"Idle");
}

TEST(LongPath, ShortComponentsAreLookedUpAndTheRestKept) {
  std::vector<std::u16string> asked;
  auto find = [&](const std::u16string& path) -> std::u16string {
    asked.push_back(path);
    if (path == u"C:\\PROGRA~1") return u"Program Files";
    return u"";
  };
  EXPECT_EQ(ExpandShortPath(u"C:\\PROGRA~1\\app.exe", find), u"C:\\Program Files\\app.exe");
  EXPECT_EQ(asked, (std::vector<std::u16string>{u"C:\\PROGRA~1"}));
  EXPECT_EQ(ExpandShortPath(u"C:\\UNKNOW~1\\x.dll", find), u"C:\\UNKNOW~1\\x.dll");
  EXPECT_EQ(ExpandShortPath(u"C:\\a*~b\\x.dll", find), u"C:\\a*~b\\x.dll");
  EXPECT_EQ(ExpandShortPath(u"dir\\file~1\\", find), u"dir\\file~1");
  EXPECT_EQ(ExpandShortPath(u"\\\\server\\share\\PROGRA~1", find), u"\\\\server\\share\\PROGRA~1");
  EXPECT_EQ(ExpandShortPath(u"C:\\", find), u"C:");
}

}  // namespace
}  // namespace ostrel
