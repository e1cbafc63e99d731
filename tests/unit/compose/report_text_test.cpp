#include "crash/report/compose/report_text.h"

#include <gtest/gtest.h>

#include "crash/report/disasm/memory_image.h"

namespace ostrel {
namespace {

TEST(ReportText, HeaderInOneColumnSectionsAfterEmptyLines) {
  TReportFields header, sections;
  header.EnableInput();
  sections.EnableInput();
  header.SetField(u"date/time", u"2026-12-08, 10:01:26, 7ms");
  header.SetField(u"largest free block", u"1,50 GB");
  header.SetField(u"user name", u"ann\r\n   <admin>");
  sections.SetField(u"main thread ($1a2c):", u"line one   \r\n\r\n  indented\rlast");
  sections.SetField(u"modules", u"00400000 app.exe");
  EXPECT_EQ(JoinReportText(header, sections),
            u"date/time          : 2026-12-08, 10:01:26, 7ms\r\n"
            u"largest free block : 1,50 GB\r\n"
            u"user name          : ann <admin>\r\n"
            u"\r\n"
            u"main thread ($1a2c):\r\n"
            u"line one\r\n"
            u".\r\n"
            u"  indented\r\n"
            u"last\r\n"
            u"\r\n"
            u"modules:\r\n"
            u"00400000 app.exe");
  TReportFields none;
  EXPECT_EQ(JoinReportText(none, none), u"");
}

TEST(ReportText, RegistersAndStackDump) {
  CpuRegisters r;
  r.eax = 0x12;
  r.ebp = 0xdeadbeef;
  EXPECT_EQ(CpuRegistersText(r),
            u"eax = 00000012\r\nebx = 00000000\r\necx = 00000000\r\nedx = 00000000\r\n"
            u"esi = 00000000\r\nedi = 00000000\r\neip = 00000000\r\nesp = 00000000\r\n"
            u"ebp = deadbeef");
  TMemoryImage stack;
  std::vector<std::uint8_t> bytes(0x40, 0);
  const std::uint8_t first[16] = {0xa3, 0xc1, 0x45, 0x00, 0xde, 0xfa, 0xed, 0x0e,
                                  0x01, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00};
  std::copy(first, first + 16, bytes.begin());
  bytes[0x10] = 'O';
  bytes[0x11] = 'k';
  stack.Add(0x0012f5d4, bytes);
  const std::u16string dump = StackDumpText(stack, 0x0012f5d4, 0x0012f5d4 + 0x1c);
  EXPECT_EQ(dump,
            u"0012f5d4  a3 c1 45 00 de fa ed 0e - 01 00 00 00 07 00 00 00  ..E.............\r\n"
            u"0012f5e4  4f 6b 00 00 00 00 00 00 - 00 00 00 00"
            u"              Ok..........");  // each byte's blank, three per byte left out, one more
  // Without a region end: 20 lines at most, and what cannot be read ends it.
  const std::u16string open = StackDumpText(stack, 0x0012f5d4, 0);
  EXPECT_EQ(std::count(open.begin(), open.end(), u'\n'), 3);
  EXPECT_EQ(StackDumpText(stack, 0x100, 0), u"");
}

TEST(ReportText, ExceptionMessageField) {
  EXPECT_EQ(ExceptionMessageField(u"EAbort", u"EAbort"), u"");
  EXPECT_EQ(ExceptionMessageField(u"E", u"Boom!!"), u"Boom.");
  EXPECT_EQ(ExceptionMessageField(u"E", u"two\r\nlines  here..."), u"two lines here.");
  EXPECT_EQ(Dollar8(0x2f1a07c3), u"$2f1a07c3");
}

}  // namespace
}  // namespace ostrel

#include "crash/report/compose/thread_title.h"

namespace ostrel {
namespace {

TEST(ThreadTitle, NamesIdsMarksAndServiceThreads) {
  ThreadTitleInput main;
  main.name = u"main thread";
  main.threadId = 0x1a2c;
  EXPECT_EQ(ThreadSectionTitle(main), u"main thread ($1a2c):");
  main.innerLevel = 1;
  EXPECT_EQ(ThreadSectionTitle(main), u"main thread ($1a2c), inner exception level 1:");
  ThreadTitleInput worker;
  worker.threadId = 0xf04;
  worker.priority = 2;
  EXPECT_EQ(ThreadSectionTitle(worker), u"thread $f04: <priority:2>");
  worker.priority = -1;
  worker.className = u"TWorker";
  worker.suspended = true;
  EXPECT_EQ(ThreadSectionTitle(worker), u"thread $f04 (TWorker): <suspended> <priority:-1>");
  ThreadTitleInput service;
  service.name = u"Ostrel - HandleExceptionThread";
  service.threadId = 0x10;
  EXPECT_EQ(ThreadSectionTitle(service), u"");
  service.showsTheException = true;
  EXPECT_EQ(ThreadSectionTitle(service), u"Ostrel - HandleExceptionThread ($10):");
  // A trace from outside lists the watcher and the handler thread, no others.
  service.showsTheException = false;
  service.tracing = true;
  EXPECT_EQ(ThreadSectionTitle(service), u"Ostrel - HandleExceptionThread ($10):");
  service.name = u"Ostrel - AntiFreezeThread";
  EXPECT_EQ(ThreadSectionTitle(service), u"Ostrel - AntiFreezeThread ($10):");
  service.name = u"Ostrel - StackWalkThread";
  EXPECT_EQ(ThreadSectionTitle(service), u"");
  ThreadTitleInput hidden;
  hidden.name = u"-";
  EXPECT_EQ(ThreadSectionTitle(hidden), u"");
}

}  // namespace
}  // namespace ostrel
