#include <gtest/gtest.h>

#include <string>

#include "crash/report/symbols/lookup.h"
#include "crash/report/symbols/map_parser.h"

namespace ostrel {
namespace {

// Written as the linker lays it out: fixed columns, CR LF line ends.
const char kMap[] =
    "\r\n"
    " Start         Length     Name                   Class\r\n"
    " 0001:00401000 00002000H _TEXT                  CODE\r\n"
    " 0002:00403000 00000400H _DATA                  DATA\r\n"
    "\r\n"
    "\r\n"
    "Detailed map of segments\r\n"
    "\r\n"
    " 0001:00000000 00000100 C=CODE     S=_TEXT    G=(none)   M=Main       ACBP=A9\r\n"
    " 0001:00000100 00000080 C=CODE     S=_TEXT    G=(none)   M=Orders.cpp ACBP=A9\r\n"
    " 0001:00000180 00000080 C=CODE     S=_TEXT    G=(none)   M=C:\\src\\Orders.cpp ACBP=A9\r\n"
    " 0002:00000000 00000010 C=DATA     S=_DATA    G=DGROUP   M=Main       ACBP=A9\r\n"
    " 0001:00000200 0000001 C=CODE too short and malformed\r\n"
    "\r\n"
    "  Address         Publics by Value\r\n"
    "\r\n"
    " 0001:00000010       Main.Start\r\n"
    " 0001:00000100       Orders.TOrderList.Refresh (near)\r\n"
    " 0001:00000140       @Orders@TOrderList@$bdtr$qqrv\r\n"
    " 0002:00000004       Main.Counter\r\n"
    " 9999:00000004       Lost.Public\r\n"
    "\r\n"
    "Line numbers for Orders(C:\\src\\Orders.cpp) segment _TEXT\r\n"
    "\r\n"
    "    27 0001:00000100    28 0001:00000108    29 0001:00000110\r\n"
    "    30 0001:00000118    31 0001:00000110    32 0001:00000120\r\n"
    "    40 0002:00000000\r\n"
    "\r\n"
    "Program entry point at 0001:00000010\r\n";

TMapFile Parse(const std::string& text) {
  TMapFile m;
  m.codeBase = 0x401000;
  m.codeTop = 0x403000;
  ParseMapFile(m, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  return m;
}

TEST(MapParser, ReadsSegmentsPublicsLinesAndEntryPoint) {
  const TMapFile m = Parse(kMap);
  ASSERT_EQ(m.segments.size(), 2u);  // both Orders entries merge; data is skipped
  EXPECT_EQ(m.segments[0].unit, u"Main");
  EXPECT_EQ(m.segments[1].unit, u"Orders");
  EXPECT_EQ(m.segments[1].start, 0x401100u);
  EXPECT_EQ(m.segments[1].length, 0x100u);

  ASSERT_EQ(m.publics.size(), 3u);
  EXPECT_EQ(m.publics[0].name, u"Start");
  EXPECT_EQ(m.publics[0].address, 0x401010u);
  EXPECT_EQ(m.publics[1].name, u"TOrderList.Refresh");
  EXPECT_EQ(m.publics[2].name, u"TOrderList.Destroy");

  // 31 steps back on the block's second line and is dropped; 40 is in data.
  ASSERT_EQ(m.lines.size(), 5u);
  EXPECT_EQ(m.lines[3].line, 30);
  EXPECT_EQ(m.lines[4].line, 32);
  EXPECT_EQ(LineAt(m, 0x401112).line, 29);
  EXPECT_EQ(m.entryPoint, 0x401010u);
}

TEST(MapParser, DataSegmentsFollowTheFirstDataNameAndStartsAreRelative) {
  const std::string map =
      " Start         Length     Name                   Class\r\n"
      " 0001:00401000 00001000H .text                  CODE\r\n"
      " 0002:00402000 00000100H .itext                 ICODE\r\n"
      " 0003:00403000 00000100H .data                  DATA\r\n"
      " 0004:00404000 00000100H .text2                 CODE\r\n"
      "Detailed map of segments\r\n"
      " 0002:00000010 00000020 C=ICODE    S=.itext   G=(none)   M=Late       ACBP=A9\r\n"
      " 0004:00000000 00000020 C=CODE     S=.text2   G=(none)   M=AfterData  ACBP=A9\r\n";
  TMapFile m = Parse(map);
  ASSERT_EQ(m.segments.size(), 1u);  // segment 4 comes after data, so it is data
  EXPECT_EQ(m.segments[0].start, 0x402010u);
}

TEST(MapParser, LinesWithoutAnyHeadingAndGarbageAreIgnored) {
  const TMapFile m = Parse("0001:00000010 Stray\r\nLine numbers for X(x.cpp)\r\n 12 zz:zz\r\n");
  EXPECT_TRUE(m.publics.empty());
  EXPECT_TRUE(m.lines.empty());
  const TMapFile lf = Parse(std::string(kMap).replace(0, 2, "\n"));
  EXPECT_EQ(lf.publics.size(), 3u);
}

}  // namespace
}  // namespace ostrel
