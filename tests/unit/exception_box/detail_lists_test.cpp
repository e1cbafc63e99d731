#include "crash/ui/exception_box/detail_lists.h"

#include <gtest/gtest.h>

namespace ostrel::box {
namespace {

using Fields = std::vector<std::pair<std::u16string, std::u16string>>;

// Two threads as the report's walk writes them: the second with its
// creation location.
const char16_t kMainStack[] =
    u"004019da +158 outside.exe  main      46  +8 initialization\r\n"
    u"004019b0 +0e4 outside.exe  main      31  +2 RunWorker\r\n"
    u"7fcbea3e +000 kernel32.dll                  +0xea3e";
const char16_t kWorkerStack[] =
    u"00401b20 +020 outside.exe  worker    88  +3 TWorker.Execute\r\n"
    u"7fcbea3e +000 kernel32.dll                  +0xea3e\r\n"
    u">> created by main thread ($ec) at:\r\n"
    u"00401a10 +010 outside.exe  main      40 +12 StartWorker";

const char16_t kModules[] =
    u"00400000 app.exe       1.2.0.0       C:\\Tools\r\n"
    u"7c800000 kernel32.dll  5.1.2600.5781 C:\\Windows\\system32\r\n"
    u"10000000 noversion.dll               C:\\Tools";

Fields Sections(bool twoThreads) {
  Fields s = {{u"main thread ($ec):", kMainStack}};
  if (twoThreads) s.push_back({u"thread $1a4 (TWorker):", kWorkerStack});
  s.push_back({u"modules", kModules});
  s.push_back({u"cpu registers", u"eax = 00000000\r\nebx = 7ffd6000"});
  s.push_back({u"disassembling", u">> will be calculated soon"});
  return s;
}

std::vector<std::u16string> Names(const Fields& f) {
  std::vector<std::u16string> n;
  for (const auto& x : f) n.push_back(x.first);
  return n;
}

std::vector<std::u16string> Texts(const TabContents& t) {
  std::vector<std::u16string> r;
  for (const ListRow& row : t.rows) r.push_back(row.text);
  return r;
}

std::vector<std::u16string> Titles(const TabContents& t) {
  std::vector<std::u16string> r;
  for (const ListColumn& c : t.columns) r.push_back(c.title);
  return r;
}

TEST(DetailTabs, ThreadSectionsFeedOneCallStackTab) {
  const std::vector<std::u16string> header = {u"date/time", u"exception message"};
  EXPECT_EQ(
      DetailTabs(header, Names(Sections(false))),
      (std::vector<std::u16string>{u"general", u"call stack", u"modules", u"cpu regs", u"disasm"}));
  Fields three = Sections(true);
  three.insert(three.begin() + 2, {u"thread $2b0:", u"00401000 +000 outside.exe"});
  EXPECT_EQ(DetailTabs(header, Names(three)),
            (std::vector<std::u16string>{u"general", u"call stacks", u"modules", u"cpu regs",
                                         u"disasm"}));
  // Only leading sections count: a later "$" section is a tab of its own.
  EXPECT_EQ(DetailTabs(header, {u"modules", u"price $"}),
            (std::vector<std::u16string>{u"general", u"call stack", u"modules", u"price $"}));
  // A leak report starts with its dump, else with the allocation's stack.
  EXPECT_EQ(DetailTabs({u"allocation number", u"size"}, {u"memory dump", u"modules"}),
            (std::vector<std::u16string>{u"memory dump", u"modules"}));
  EXPECT_EQ(DetailTabs({u"allocation number"}, {u"allocation ($1):", u"modules"}),
            (std::vector<std::u16string>{u"call stack", u"modules"}));
}

TEST(TabText, GeneralCallStacksAndSections) {
  const Fields header = {{u"date/time", u"2024-05-01, 10:00"}, {u"exception class", u"EFoo"}};
  const Fields sections = Sections(true);
  EXPECT_EQ(TabText(u"general", header, sections),
            u"date/time\t2024-05-01, 10:00\r\nexception class\tEFoo");
  EXPECT_EQ(TabText(u"call stacks", header, sections),
            u">> main thread ($ec):\r\n" + std::u16string(kMainStack) +
                u"\r\n\r\n>> thread $1a4 (TWorker):\r\n" + kWorkerStack);
  EXPECT_EQ(TabText(u"cpu regs", header, sections), u"eax = 00000000\r\nebx = 7ffd6000");
  EXPECT_EQ(TabText(u"modules", header, sections), kModules);
  EXPECT_EQ(TabText(u"nothing", header, sections), u"");
}

TEST(FindColumns, ModuleListAndCallStack) {
  const std::vector<std::u16string> modules = {
      u"00400000 app.exe       1.2.0.0       C:\\Tools",
      u"7c800000 kernel32.dll  5.1.2600.5781 C:\\Windows\\system32",
      u"10000000 noversion.dll               C:\\Tools"};
  EXPECT_EQ(FindColumns(modules, true), (std::vector<std::size_t>{9, 23, 37}));
  // Strict: one line's blank run is no separator when the other lines run on.
  const std::vector<std::u16string> words = {u"ab cd", u"ab ef", u"xyzwvu"};
  EXPECT_TRUE(FindColumns(words, true).empty());
  const std::vector<std::u16string> stack = {
      u"004019da +158 outside.exe  main      46  +8 initialization",
      u">> lines like this one are not looked at",
      u"7fcbea3e +000 kernel32.dll                  +0xea3e"};
  EXPECT_EQ(FindColumns(stack, false), (std::vector<std::size_t>{9, 14, 27, 37, 41, 44}));
  // "=" and ": " separate; a lone line splits at every blank run.
  EXPECT_EQ(FindColumns({u"eax = 00000000", u"ebx = 7ffd6000"}, true),
            (std::vector<std::size_t>{6}));
  // The last two positions of the longest line are never boundaries.
  EXPECT_EQ(FindColumns({u"a  b c"}, true), (std::vector<std::size_t>{3}));
  EXPECT_TRUE(FindColumns({}, true).empty());
}

TEST(FormatTab, CallStacksWithColumnsAndGroupHeaders) {
  const Fields sections = Sections(true);
  const TabContents t = FormatTab(u"call stacks", TabText(u"call stacks", {}, sections));
  ASSERT_TRUE(t.list);
  EXPECT_EQ(Titles(t), (std::vector<std::u16string>{u"address", u"rel.", u"module", u"unit",
                                                    u"line", u"rel.", u"function"}));
  EXPECT_TRUE(t.columns[0].right);
  EXPECT_TRUE(t.columns[1].right);
  EXPECT_TRUE(t.columns[4].centred);
  EXPECT_EQ(Texts(t), (std::vector<std::u16string>{
                          u">> main thread ($ec):",
                          u"004019da\t+158\toutside.exe\tmain\t46\t+8\tinitialization",
                          u"004019b0\t+0e4\toutside.exe\tmain\t31\t+2\tRunWorker",
                          u"7fcbea3e\t+000\tkernel32.dll\t\t\t\t+0xea3e",
                          u"",
                          u">> thread $1a4 (TWorker):",
                          u"00401b20\t+020\toutside.exe\tworker\t88\t+3\tTWorker.Execute",
                          u"7fcbea3e\t+000\tkernel32.dll\t\t\t\t+0xea3e",
                          u">> created by main thread ($ec) at:",
                          u"00401a10\t+010\toutside.exe\tmain\t40\t+12\tStartWorker",
                      }));
  const std::vector<bool> groups = {true, false, false, false, true,
                                    true, false, false, true,  false};
  const std::vector<bool> bold = {true, false, false, false, false,
                                  true, false, false, false, false};
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    EXPECT_EQ(t.rows[i].groupHeader, groups[i]) << i;
    EXPECT_EQ(t.rows[i].boldHeader, bold[i]) << i;
    EXPECT_EQ(t.rows[i].colour, groups[i] ? 0x00FFFFFFu : 0u) << i;
  }
}

TEST(FormatTab, CallStackWithoutUnitsAndLines) {
  const std::u16string text =
      u">> main thread ($ec):\r\n"
      u"7fcbea3e +000 kernel32.dll +0xea3e\r\n"
      u"7c90e4f4 +010 ntdll.dll    +0xe4f4";
  const TabContents t = FormatTab(u"call stack", text);
  EXPECT_EQ(Titles(t), (std::vector<std::u16string>{u"address", u"rel.", u"module", u"function"}));
  EXPECT_EQ(t.rows[2].text, u"7c90e4f4\t+010\tntdll.dll\t+0xe4f4");
}

TEST(FormatTab, PlaceholdersAndInternalErrors) {
  // A section still being computed: generic, and not broken into columns.
  TabContents t = FormatTab(u"disasm", u">> will be calculated soon");
  EXPECT_FALSE(t.list);
  EXPECT_EQ(t.plainText, u">> will be calculated soon");
  t = FormatTab(u"call stack", u">> main thread ($ec):\r\n>> will be calculated soon");
  ASSERT_TRUE(t.list);
  EXPECT_EQ(t.columns.size(), 1u);
  EXPECT_FALSE(t.columnHeader);
  // An internal error in any tab goes through the call-stack rules; alone,
  // it is no bold heading.
  t = FormatTab(u"disasm", u">> internal error in GetCleartextDisAsm");
  ASSERT_EQ(t.rows.size(), 1u);
  EXPECT_TRUE(t.rows[0].groupHeader);
  EXPECT_FALSE(t.rows[0].boldHeader);
  t = FormatTab(u"call stack",
                u">> main thread ($ec):\r\n>> internal error in GetThreadStack:\r\n"
                u"004019da +158 outside.exe  main      46  +8 initialization");
  EXPECT_TRUE(t.rows[0].boldHeader);
  EXPECT_EQ(t.rows[2].text, u"004019da\t+158\toutside.exe\tmain\t46\t+8\tinitialization");
}

TEST(FormatTab, ModulesRegistersProcessesAndGeneral) {
  TabContents t = FormatTab(u"modules", kModules);
  EXPECT_EQ(Titles(t), (std::vector<std::u16string>{u"handle", u"file name", u"version", u"path"}));
  EXPECT_TRUE(t.columns[0].right);
  EXPECT_TRUE(t.columns[2].centred);
  EXPECT_EQ(Texts(t), (std::vector<std::u16string>{
                          u"00400000\tapp.exe\t1.2.0.0\tC:\\Tools",
                          u"7c800000\tkernel32.dll\t5.1.2600.5781\tC:\\Windows\\system32",
                          u"10000000\tnoversion.dll\t\tC:\\Tools"}));

  t = FormatTab(u"cpu regs", u"eax = 00000000\r\nebx = 7ffd6000");
  EXPECT_TRUE(t.fixedFont);
  EXPECT_EQ(Texts(t), (std::vector<std::u16string>{u"eax\t00000000", u"ebx\t7ffd6000"}));

  const std::u16string processes =
      u"000 Idle         0  0  0              \r\n"
      u"004 System       0  0  0 normal       \r\n"
      u"1a8 app.exe      1 35 12 normal       C:\\Tools\r\n"
      u"2c4 explorer.exe 1 80 95 above normal C:\\Windows";
  t = FormatTab(u"processes", processes);
  ASSERT_TRUE(t.list);
  EXPECT_EQ(Titles(t).size(), 7u);
  EXPECT_EQ(Titles(t)[2], u"session");
  EXPECT_EQ(t.rows[2].text, u"1a8\tapp.exe\t1\t35\t12\tnormal\tC:\\Tools");
  EXPECT_EQ(t.rows[3].text, u"2c4\texplorer.exe\t1\t80\t95\tabove normal\tC:\\Windows");
  // Without sessions one column fewer.
  const std::u16string noSessions =
      u"000 Idle          0  0              \r\n"
      u"004 System        0  0 normal       \r\n"
      u"1a8 app.exe      35 12 normal       C:\\Tools\r\n"
      u"2c4 explorer.exe 80 95 above normal C:\\Windows";
  t = FormatTab(u"processes", noSessions);
  EXPECT_EQ(Titles(t), (std::vector<std::u16string>{u"id", u"file name", u"gdi objects",
                                                    u"user objects", u"priority", u"path"}));

  t = FormatTab(u"general", u"exception message\tA & B\tC\r\ndate/time\t2024");
  EXPECT_EQ(Titles(t), (std::vector<std::u16string>{u"description", u"value"}));
  EXPECT_EQ(Texts(t),
            (std::vector<std::u16string>{u"exception message\tA && B C", u"date/time\t2024"}));
}

TEST(FormatTab, GenericFormatter) {
  // Too few lines, or too many long ones: plain text.
  EXPECT_FALSE(FormatTab(u"other", u"just one line").list);
  const std::u16string longLine(90, u'x');
  EXPECT_FALSE(FormatTab(u"other", longLine + u"\r\na\r\nb\r\nc\r\nd\r\ne").list);
  EXPECT_TRUE(FormatTab(u"other", longLine + u"\r\na\r\nb\r\nc\r\nd\r\ne\r\nf").list);

  // "^": a header row.
  TabContents t = FormatTab(u"other", u"^name\t^size\r\nfoo.txt\t12\r\nbar & baz\t3");
  EXPECT_TRUE(t.columnHeader);
  EXPECT_EQ(Titles(t), (std::vector<std::u16string>{u"name", u"size"}));
  EXPECT_TRUE(t.columns[1].right);
  EXPECT_EQ(Texts(t), (std::vector<std::u16string>{u"foo.txt\t12", u"bar && baz\t3"}));

  // "+" / "-" lines: one column, leading blanks kept, colours.
  t = FormatTab(u"other", u"!+ failed\r\n  - skipped\r\n+ done %s");
  ASSERT_EQ(t.columns.size(), 1u);
  EXPECT_FALSE(t.columnHeader);
  EXPECT_EQ(Texts(t),
            (std::vector<std::u16string>{u"+ failed", u"\u00a0\u00a0- skipped", u"+ done %s"}));
  EXPECT_EQ(t.rows[0].colour, 0x00F4F4FFu);
  EXPECT_EQ(t.rows[1].colour, 0u);
  EXPECT_EQ(t.rows[2].colour, 0x00FFF8F0u);

  // Tabs: as many columns as the longest line has cells.
  t = FormatTab(u"other", u"a\tb\r\nc\td\te");
  EXPECT_EQ(t.columns.size(), 3u);
  EXPECT_FALSE(t.columnHeader);

  // Otherwise the column finder.
  t = FormatTab(u"other", u"alpha  100\r\nbeta   200\r\ngamma  300");
  EXPECT_EQ(Texts(t), (std::vector<std::u16string>{u"alpha\t100", u"beta\t200", u"gamma\t300"}));
}

TEST(FormatTab, DumpsCutAtFixedPositions) {
  const std::u16string dump =
      u"0012ff00  41 42 20 26 00 00 00 00 - 00 00 00 00 00 00 00 00   AB &............\r\n"
      u"0012ff10  01 02 " +
      std::u16string(44, u' ') + u" ..";
  const TabContents t = FormatTab(u"stack dump", dump);
  EXPECT_TRUE(t.fixedFont);
  EXPECT_EQ(Titles(t),
            (std::vector<std::u16string>{u"address", u"data - hexadecimal", u"data - chars"}));
  // The chars keep their own leading blank; "&" is doubled.
  EXPECT_EQ(t.rows[0].text,
            u"0012ff00\t41 42 20 26 00 00 00 00 - 00 00 00 00 00 00 00 00\t AB &&............");
  EXPECT_EQ(t.rows[1].text, u"0012ff10\t01 02\t..");
}

TEST(FormatTab, DisassemblyWithLineNumbersAndMarker) {
  const std::u16string listing =
      u"00401000 100 sub_00401000:                    ; function entry point\r\n"
      u"00401000       push    ebp\r\n"
      u"0040101e       jmp     dword ptr [eax*4+$401025]\r\n"
      u"0040101e\r\n"
      u"0040101e     ; ---------------------------------------------------------\r\n"
      u"00401025 104   dd loc_00401031                ; case jump table\r\n"
      u"00401031     > inc     eax";
  const TabContents t = FormatTab(u"disasm", listing);
  EXPECT_TRUE(t.fixedFont);
  EXPECT_EQ(Titles(t),
            (std::vector<std::u16string>{u"address", u"line", u"asm code", u"comments"}));
  EXPECT_EQ(Texts(t), (std::vector<std::u16string>{
                          u"00401000\t100\tsub_00401000:\t; function entry point",
                          u"00401000\t\t\u00a0 push    ebp\t",
                          u"0040101e\t\t\u00a0 jmp     dword ptr [eax*4+$401025]\t", u"0040101e",
                          u"0040101e\t\t; --------------------------\t",
                          u"00401025\t104\t\u00a0 dd loc_00401031\t; case jump table",
                          u"00401031\t\t\u00a0 inc     eax\t"}));
  for (std::size_t i = 0; i + 1 < t.rows.size(); ++i) EXPECT_EQ(t.rows[i].colour, 0u) << i;
  EXPECT_EQ(t.rows.back().colour, 0x00D0D0FFu);

  // Without line numbers the marker sits right after the address.
  const TabContents plain =
      FormatTab(u"disasm", u"[...]\r\n0040105e   nop\r\n00401063 > nop ; a & b\r\n[...]");
  EXPECT_EQ(Titles(plain), (std::vector<std::u16string>{u"address", u"asm code", u"comments"}));
  EXPECT_EQ(Texts(plain),
            (std::vector<std::u16string>{u"[...]", u"0040105e\t\u00a0 nop\t",
                                         u"00401063\t\u00a0 nop\t; a && b", u"[...]"}));
  EXPECT_EQ(plain.rows[2].colour, 0x00D0D0FFu);
}

}  // namespace
}  // namespace ostrel::box
