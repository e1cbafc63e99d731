#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "crash/report/disasm/page_copy_reader.h"
#include "crash/report/stack/stack_trace.h"
#include "tests/unit/stack/loaded_images.h"

namespace ostrel {
namespace {

using test::TLoadedImages;
using test::TStackBuilder;

constexpr std::uint32_t kStackTop = 0x00300000;

std::string Fixture(const char* name) { return std::string(PELMORA_WALK_FIXTURES) + "/" + name; }

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

std::vector<std::string> Lines(const std::u16string& text) {
  std::vector<std::string> lines;
  const std::string all = Narrow(text);
  for (std::size_t start = 0; start <= all.size();) {
    std::size_t end = all.find("\r\n", start);
    if (end == std::string::npos) end = all.size();
    lines.push_back(all.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The line of the fixture's source that holds the text.
int SourceLine(const std::string& text) {
  std::ifstream in(std::string(PELMORA_WALK_SOURCE));
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.find(text) != std::string::npos) return n;
  }
  return -1;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The fixture program with its functions' addresses.
struct Program {
  TLoadedImages images;
  std::uint32_t base = 0;
  std::uint32_t main = 0, inner = 0, middle = 0, outer = 0, recurse = 0, thrower = 0, unrelated = 0,
                viaLibrary = 0, libCall = 0, crt = 0;
  std::uint32_t store = 0;  // the faulting instruction in Inner

  void Load(const char* exe, std::uint32_t at = 0, bool library = false) {
    std::string error;
    if (library) {
      ASSERT_TRUE(images.Load(Fixture("walk_library.dll"), 0x63000000, error)) << error;
    }
    ASSERT_TRUE(images.Load(Fixture(exe), at, error)) << error;
    base = at ? at : 0x400000;
    auto get = [&](const char16_t* name) { return images.Public(base, name); };
    main = get(u"main");
    inner = get(u"Inner");
    middle = get(u"Middle");
    outer = get(u"Outer");
    recurse = get(u"Recurse");
    thrower = images.Public(base, u"Thrower", false);  // the hot part: its cold one throws
    unrelated = get(u"Unrelated");
    viaLibrary = get(u"ViaLibrary");
    crt = get(u"__tmainCRTStartup");
    if (library) libCall = images.Public(0x63000000, u"LibCall");
    store = images.FirstStore(inner);
    ASSERT_NE(main, 0u);
    ASSERT_NE(inner, 0u);
    ASSERT_NE(store, 0u);
    images.AddStack(kStackTop, 0x20000);
  }

  std::uint32_t Return(std::uint32_t from, std::uint32_t to) const {
    const std::uint32_t r = images.ReturnAfterCall(from, to);
    EXPECT_NE(r, 0u) << std::hex << from << " -> " << to;
    return r;
  }

  TWalkResult Walk(TWalkRequest request, TStackTrace* trace = nullptr) {
    TStackWalker walker(images.Memory(), images);
    request.stackTop = kStackTop;
    request.output = trace;
    return walker.Walk(request, nullptr);
  }
};

TWalkRequest ExceptionAt(std::uint32_t address, const TStackBuilder& stack, bool external = true) {
  TWalkRequest r;
  r.isException = true;
  r.externalException = external;
  r.currentAddress = address;
  r.stackBottom = stack.Sp();
  r.framePointer = stack.Fp();
  return r;
}

// Lays out main -> Outer -> Middle -> Inner with stale values in main's frame.
TStackBuilder ChainStack(Program& p, bool framePointers) {
  TStackBuilder s(p.images, kStackTop);
  auto frame = [&](std::uint32_t ret) {
    if (framePointers) {
      s.PushFrame(ret);
    } else {
      s.Push(ret);
    }
  };
  if (p.crt) frame(p.Return(p.crt, p.main));
  s.Push(p.Return(p.unrelated, p.middle));  // left over from an earlier call
  s.Push(p.unrelated + 0x40);               // a value that is no return address
  frame(p.Return(p.main, p.outer));
  s.Push(0x12345678);
  frame(p.Return(p.outer, p.middle));
  frame(p.Return(p.middle, p.inner));
  s.Push(7);
  return s;
}

void ExpectColumnsAligned(const std::vector<std::string>& lines) {
  // Every line ends in its function name; the names start in one column.
  std::size_t column = std::string::npos;
  for (const std::string& line : lines) {
    const std::size_t at = line.find_last_of(' ') + 1;
    if (column == std::string::npos) column = at;
    EXPECT_EQ(at, column) << line;
  }
}

class StackWalk : public ::testing::TestWithParam<const char*> {};

TEST_P(StackWalk, NamesTheCallChainAndDropsStaleValues) {
  Program p;
  ASSERT_NO_FATAL_FAILURE(p.Load(GetParam()));
  const bool fp = std::string(GetParam()) == "walk_fp.exe";
  TStackBuilder s = ChainStack(p, fp);
  TStackTrace trace;
  const TWalkResult r = p.Walk(ExceptionAt(p.store, s), &trace);
  const auto lines = Lines(r.text);
  ASSERT_GE(lines.size(), 4u) << Narrow(r.text);
  EXPECT_TRUE(EndsWith(lines[0], " Inner")) << lines[0];
  EXPECT_TRUE(EndsWith(lines[1], " Middle")) << lines[1];
  EXPECT_TRUE(EndsWith(lines[2], " Outer")) << lines[2];
  EXPECT_TRUE(EndsWith(lines[3], " main")) << lines[3];
  EXPECT_EQ(r.text.find(u"Unrelated"), std::u16string::npos) << Narrow(r.text);
  // The exception line shows the faulting instruction and its statement.
  char address[16];
  std::snprintf(address, sizeof address, "%08x ", p.store);
  EXPECT_EQ(lines[0].rfind(address, 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(" walk_" + std::string(fp ? "fp" : "nofp") + ".exe "), std::string::npos);
  EXPECT_NE(lines[0].find(" " + std::to_string(SourceLine("the faulting store")) + " "),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[1].find(" " + std::to_string(SourceLine("const int r = Inner(p);")) + " "),
            std::string::npos)
      << lines[1];
  ExpectColumnsAligned(lines);
  ASSERT_EQ(trace.size(), lines.size());
  EXPECT_EQ(trace[0].address, p.store);
  EXPECT_EQ(trace[0].relativeAddress, p.store - p.inner);
  EXPECT_EQ(trace[0].line, SourceLine("the faulting store"));
  EXPECT_EQ(trace[1].function, u"Middle");
  EXPECT_TRUE(r.hasLineNumbers);
  EXPECT_EQ(r.exceptionFunction, p.inner);
  EXPECT_EQ(r.exceptionFunctionAddress, p.store);
  EXPECT_EQ(r.innermostAddress, p.store);
  EXPECT_NE(r.checksum1, 0u);
  EXPECT_NE(r.checksum1, r.checksum2);
}

INSTANTIATE_TEST_SUITE_P(FramePointersOrNot, StackWalk,
                         ::testing::Values("walk_fp.exe", "walk_nofp.exe"));

// The chain through the library: its line has no line number.
TStackBuilder LibraryStack(Program& p) {
  TStackBuilder s(p.images, kStackTop);
  s.Push(p.Return(p.main, p.viaLibrary));
  std::uint32_t viaReturn = p.images.ReturnAfterCall(p.viaLibrary, p.libCall);
  if (!viaReturn) viaReturn = p.Return(p.viaLibrary, 0);
  s.Push(viaReturn);
  s.Push(p.Return(p.libCall, 0));  // the library's call through a pointer
  s.Push(p.Return(p.middle, p.inner));
  return s;
}

TEST(StackWalkLibrary, AChainThroughALibraryWithoutSymbolsKeepsBothSides) {
  Program p;
  ASSERT_NO_FATAL_FAILURE(p.Load("walk_nofp.exe", 0, true));
  ASSERT_NE(p.libCall, 0u);
  TStackBuilder s = LibraryStack(p);
  const TWalkResult r = p.Walk(ExceptionAt(p.store, s));
  const auto lines = Lines(r.text);
  ASSERT_EQ(lines.size(), 5u) << Narrow(r.text);
  EXPECT_TRUE(EndsWith(lines[0], " Inner"));
  EXPECT_TRUE(EndsWith(lines[1], " Middle"));
  EXPECT_NE(lines[2].find(" walk_library.dll "), std::string::npos) << lines[2];
  EXPECT_TRUE(EndsWith(lines[2], " LibCall")) << lines[2];
  EXPECT_TRUE(EndsWith(lines[3], " ViaLibrary"));
  EXPECT_TRUE(EndsWith(lines[4], " main"));
  ExpectColumnsAligned(lines);
}

// Without symbols every return address of the frame-pointer chain is still
// a line, named by its module and offset; values off the chain are not.
TEST(StackWalkWithoutSymbols, EveryReturnAddressShowsModuleAndOffset) {
  Program named;  // the same code with symbols tells where the functions are
  ASSERT_NO_FATAL_FAILURE(named.Load("walk_fp.exe"));
  TLoadedImages bare;
  std::string error;
  ASSERT_TRUE(bare.Load(Fixture("walk_library.dll"), 0x63000000, error)) << error;
  ASSERT_TRUE(bare.Load(Fixture("walk_bare.exe"), 0, error)) << error;
  ASSERT_FALSE(bare.Symbols(0x400000));
  std::uint8_t a[32] = {}, b[32] = {};
  ASSERT_TRUE(named.images.Memory().Read(named.inner, a, sizeof a));
  ASSERT_TRUE(bare.Memory().Read(named.inner, b, sizeof b));
  ASSERT_EQ(0, std::memcmp(a, b, sizeof a)) << "the two builds differ in their code";
  bare.AddStack(kStackTop, 0x20000);
  TStackBuilder s(bare, kStackTop);
  const std::uint32_t rets[] = {
      named.Return(named.crt, named.main), named.Return(named.main, named.outer),
      named.Return(named.outer, named.middle), named.Return(named.middle, named.inner)};
  s.PushFrame(rets[0]);
  s.Push(named.Return(named.unrelated, named.middle));  // left over from an earlier call
  s.PushFrame(rets[1]);
  s.PushFrame(rets[2]);
  s.PushFrame(rets[3]);
  TStackWalker walker(bare.Memory(), bare);
  TWalkRequest request = ExceptionAt(named.store, s);
  request.stackTop = kStackTop;
  TStackTrace trace;
  request.output = &trace;
  const TWalkResult r = walker.Walk(request, nullptr);
  const auto lines = Lines(r.text);
  ASSERT_EQ(lines.size(), 5u) << Narrow(r.text);
  char offset[24];
  std::snprintf(offset, sizeof offset, " walk_bare.exe +0x%x", named.store - 0x400000);
  EXPECT_NE(lines[0].find(offset), std::string::npos) << lines[0];
  for (int i = 0; i < 4; ++i) {
    // The line shows the call before the return address.
    const std::string& line = lines[static_cast<std::size_t>(4 - i)];
    const std::uint32_t shown =
        static_cast<std::uint32_t>(std::stoul(line.substr(0, 8), nullptr, 16));
    EXPECT_GE(shown, rets[i] - 7) << line;
    EXPECT_LT(shown, rets[i]) << line;
    std::snprintf(offset, sizeof offset, " walk_bare.exe +0x%x", shown - 0x400000);
    EXPECT_TRUE(EndsWith(line, offset)) << line;
  }
  ExpectColumnsAligned(lines);
  ASSERT_EQ(trace.size(), 5u);
  EXPECT_EQ(trace[1].module, u"walk_bare.exe");
  EXPECT_EQ(trace[1].function.rfind(u"+0x", 0), 0u);
  EXPECT_FALSE(r.hasLineNumbers);

  // Another thread of the program, without an exception: its section is not empty.
  TWalkRequest thread;
  thread.noTopItem = true;
  thread.stackBottom = s.Sp();
  thread.framePointer = s.Fp();
  thread.stackTop = kStackTop;
  EXPECT_EQ(Lines(walker.Walk(thread, nullptr).text).size(), 4u);
}

TEST(StackWalkRecursion, TenThousandRepeatsShowOnce) {
  Program p;
  ASSERT_NO_FATAL_FAILURE(p.Load("walk_nofp.exe"));
  TStackBuilder s(p.images, kStackTop);
  s.Push(p.Return(p.main, p.recurse));
  const std::uint32_t again = p.Return(p.recurse, p.recurse);
  for (int i = 0; i < 10000; ++i) s.Push(again);
  s.Push(p.Return(p.recurse, p.inner));
  const TWalkResult r = p.Walk(ExceptionAt(p.store, s));
  const auto lines = Lines(r.text);
  ASSERT_GE(lines.size(), 3u) << Narrow(r.text);
  ASSERT_LE(lines.size(), 4u) << Narrow(r.text);
  EXPECT_TRUE(EndsWith(lines[0], " Inner"));
  EXPECT_TRUE(EndsWith(lines[1], " Recurse"));
  EXPECT_TRUE(EndsWith(lines.back(), " main"));
}

// The live walk reads each page once and serves the reads from that copy;
// with few slots, pages are dropped and read again mid-walk.
TEST(StackWalkPageCopies, AWalkReadAPageAtATimeGivesTheSameTrace) {
  for (const char* exe : {"walk_fp.exe", "walk_nofp.exe"}) {
    Program p;
    ASSERT_NO_FATAL_FAILURE(p.Load(exe));
    TStackBuilder chain = ChainStack(p, std::string(exe) == "walk_fp.exe");
    TStackBuilder deep(p.images, kStackTop - 0x8000);
    deep.Push(p.Return(p.main, p.recurse));
    for (int i = 0; i < 3000; ++i) deep.Push(p.Return(p.recurse, p.recurse));
    deep.Push(p.Return(p.recurse, p.inner));
    TWalkRequest chainRequest = ExceptionAt(p.store, chain),
                 deepRequest = ExceptionAt(p.store, deep);
    chainRequest.stackTop = kStackTop;
    deepRequest.stackTop = kStackTop - 0x8000;
    for (const TWalkRequest& request : {chainRequest, deepRequest}) {
      TStackWalker plain(p.images.Memory(), p.images);
      const TWalkResult direct = plain.Walk(request, nullptr);
      ASSERT_GE(Lines(direct.text).size(), 3u) << Narrow(direct.text);
      for (std::size_t slots : {std::size_t{2}, std::size_t{64}}) {
        TPageCopyReader pages(p.images.Memory(), slots);
        TStackWalker walker(pages, p.images);
        const TWalkResult paged = walker.Walk(request, nullptr);
        EXPECT_EQ(Narrow(paged.text), Narrow(direct.text)) << exe << ", " << slots << " slots";
        EXPECT_EQ(paged.checksum1, direct.checksum1);
        EXPECT_EQ(paged.checksum2, direct.checksum2);
      }
    }
  }
}

TEST(StackWalkRaise, AThrowShowsTheRaisingStatement) {
  Program p;
  ASSERT_NO_FATAL_FAILURE(p.Load("walk_nofp.exe"));
  const std::uint32_t cxaThrow = p.images.Public(p.base, u"__cxa_throw");
  ASSERT_NE(cxaThrow, 0u);
  TStackBuilder s(p.images, kStackTop);
  s.Push(p.Return(p.main, p.thrower));
  const std::uint32_t thrown = p.Return(p.thrower, cxaThrow);
  const TWalkResult r = p.Walk(ExceptionAt(thrown, s, false));
  const auto lines = Lines(r.text);
  ASSERT_EQ(lines.size(), 2u) << Narrow(r.text);
  EXPECT_TRUE(EndsWith(lines[0], " Thrower")) << lines[0];
  EXPECT_NE(lines[0].find(" " + std::to_string(SourceLine("throw std::runtime_error")) + " "),
            std::string::npos)
      << lines[0];
  char address[16];
  std::snprintf(address, sizeof address, "%08x ", CallInstructionBefore(p.images.Memory(), thrown));
  EXPECT_EQ(lines[0].rfind(address, 0), 0u) << lines[0];
}

TEST(StackWalkThread, TheCreationLocationIsTheLastLine) {
  Program p;
  ASSERT_NO_FATAL_FAILURE(p.Load("walk_fp.exe"));
  TStackBuilder s(p.images, kStackTop);
  s.PushFrame(p.Return(p.outer, p.middle));
  s.PushFrame(p.Return(p.middle, p.inner));
  TWalkRequest request;
  request.stackBottom = s.Sp();
  request.framePointer = s.Fp();
  request.currentAddress = p.store;  // where the thread is now
  const std::uint32_t created = CallInstructionBefore(p.images.Memory(), p.Return(p.main, p.outer));
  ASSERT_NE(created, 0u);
  request.creatorAddress = created;
  const TWalkResult r = p.Walk(request);
  const auto lines = Lines(r.text);
  ASSERT_EQ(lines.size(), 4u) << Narrow(r.text);
  EXPECT_TRUE(EndsWith(lines[0], " Inner"));
  EXPECT_TRUE(EndsWith(lines[2], " Outer"));
  char address[16];
  std::snprintf(address, sizeof address, "%08x ", created);
  EXPECT_EQ(lines[3].rfind(address, 0), 0u) << lines[3];
  EXPECT_TRUE(EndsWith(lines[3], " main"));
}

TEST(StackWalkChecksums, StayTheSameAtAnotherBaseAndChangeWithTheChain) {
  Program home, moved;
  ASSERT_NO_FATAL_FAILURE(home.Load("walk_nofp.exe"));
  ASSERT_NO_FATAL_FAILURE(moved.Load("walk_nofp.exe", 0x10000000));
  const TWalkResult a = home.Walk(ExceptionAt(home.store, ChainStack(home, false)));
  const TWalkResult b = moved.Walk(ExceptionAt(moved.store, ChainStack(moved, false)));
  ASSERT_FALSE(a.text.empty());
  EXPECT_NE(a.text, b.text);  // other addresses
  EXPECT_EQ(Lines(a.text).size(), Lines(b.text).size());
  EXPECT_EQ(a.checksum1, b.checksum1);
  EXPECT_EQ(a.checksum2, b.checksum2);
  // Another caller of the same location: the first checksum stays, the second moves.
  Program other;
  ASSERT_NO_FATAL_FAILURE(other.Load("walk_nofp.exe"));
  TStackBuilder s(other.images, kStackTop);
  s.Push(other.Return(other.main, other.unrelated));
  s.Push(other.Return(other.unrelated, other.middle));
  s.Push(other.Return(other.middle, other.inner));
  const TWalkResult c = other.Walk(ExceptionAt(other.store, s));
  EXPECT_EQ(c.checksum1, a.checksum1) << Narrow(c.text);
  EXPECT_NE(c.checksum2, a.checksum2);
}

TEST(StackWalkOptions, HiddenUglyLinesCancelAndUnreadableStacks) {
  Program p;
  ASSERT_NO_FATAL_FAILURE(p.Load("walk_nofp.exe", 0, true));
  TStackBuilder s = LibraryStack(p);
  TWalkRequest request = ExceptionAt(p.store, s);
  const auto all = Lines(p.Walk(request).text);
  request.hideUglyItems = true;
  const auto pretty = Lines(p.Walk(request).text);
  ASSERT_EQ(pretty.size() + 1, all.size());
  for (const std::string& line : pretty) EXPECT_EQ(line.find("LibCall"), std::string::npos);
  EXPECT_TRUE(EndsWith(pretty.back(), " main"));
  ExpectColumnsAligned(pretty);
  request.showRelativeAddresses = false;
  request.showRelativeLines = false;
  const auto plain = Lines(p.Walk(request).text);
  EXPECT_EQ(plain[0].find('+'), std::string::npos) << plain[0];
  EXPECT_NE(plain[0].find(" " + std::to_string(SourceLine("the faulting store")) + " "),
            std::string::npos)
      << plain[0];

  std::atomic<bool> cancel{true};
  request.cancel = &cancel;
  EXPECT_TRUE(p.Walk(request).text.empty());

  TWalkRequest unreadable = ExceptionAt(p.store, s);
  unreadable.stackBottom = 0x00100000;  // below the stack block: not mapped
  TStackWalker walker(p.images.Memory(), p.images);
  unreadable.stackTop = 0x00100100;
  EXPECT_TRUE(walker.Walk(unreadable, nullptr).text.empty());
}

TEST(StackWalkEdges, LocationsAtTheEndOfTheAddressSpaceEnd) {
  Program p;
  ASSERT_NO_FATAL_FAILURE(p.Load("walk_fp.exe"));
  TStackBuilder s(p.images, kStackTop);
  s.Push(0xFFFFFFFFu);
  s.PushFrame(0xFFFFFFFEu);
  for (std::uint32_t at : {0xFFFFFFFFu, 0xFFFFFFFEu, 0u, 1u}) {
    const TWalkResult r = p.Walk(ExceptionAt(at, s));
    const auto lines = Lines(r.text);
    ASSERT_EQ(lines.size(), 1u) << Narrow(r.text);
    EXPECT_TRUE(EndsWith(lines[0], " ???")) << lines[0];
  }
}

TEST(FormatLocation, OneLineWithAndWithoutSymbols) {
  Program p;
  ASSERT_NO_FATAL_FAILURE(p.Load("walk_fp.exe"));
  const auto symbols = p.images.Symbols(p.base);
  ASSERT_TRUE(symbols);
  const std::string line =
      Narrow(FormatLocation(p.store, symbols.get(), u"walk_fp.exe", true, true));
  char head[32];
  std::snprintf(head, sizeof head, "%08x +%x walk_fp.exe ", p.store, p.store - p.inner);
  EXPECT_EQ(line.rfind(head, 0), 0u) << line;
  EXPECT_TRUE(EndsWith(line, " " + std::to_string(SourceLine("the faulting store")) + " +1 Inner"))
      << line;
  EXPECT_EQ(FormatLocation(0x1234, nullptr, u"", true, true), u"00001234 +0 ???");
  EXPECT_EQ(FormatLocation(0x1234, nullptr, u"", false, true), u"00001234 ???");
  EXPECT_EQ(InternalErrorText(u"GetThreadReport", u"00001234 ???"),
            u">> internal error in GetThreadReport:\r\n00001234 ???");
  EXPECT_EQ(ChecksumLowerCase(u"AbZ\u00c4\u00d6\u00dc\u00c9"), u"abz\u00e4\u00f6\u00fc\u00c9");
}

}  // namespace
}  // namespace ostrel
