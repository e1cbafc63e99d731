// One scenario of the stack walk, for callgrind: the images are loaded
// first, then only the walks are counted (cold: the first walk parses the
// functions; warm: the tables are kept).
//   stack_walk_bench chain|deep|stale [cold|warm|all] [direct|paged]: with a
//   round named, only that walk is counted; direct or paged, the memory is
//   read through a counter (each read a system call on Windows), paged with
//   the page copies of the live walk over it
#include <chrono>
#include <cstdio>
#include <string>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#define CALLGRIND_TOGGLE_COLLECT
#endif

#include "crash/report/disasm/page_copy_reader.h"
#include "tests/unit/stack/loaded_images.h"

using namespace ostrel;

namespace {

class TCountingReader final : public IMemoryReader {
 public:
  explicit TCountingReader(const IMemoryReader& inner) : inner_(inner) {}
  bool Read(std::uint32_t address, void* dst, std::uint32_t len) const override {
    ++reads;
    return inner_.Read(address, dst, len);
  }
  bool Query(std::uint32_t address, TRegionInfo& info) const override {
    return inner_.Query(address, info);
  }
  mutable std::size_t reads = 0;

 private:
  const IMemoryReader& inner_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string scenario = argc > 1 ? argv[1] : "chain";
  const std::string counted = argc > 2 ? argv[2] : "";
  const std::string memory = argc > 3 ? argv[3] : "";
  test::TLoadedImages images;
  std::string error;
  const std::string dir = PELMORA_WALK_FIXTURES;
  if (!images.Load(dir + "/walk_nofp.exe", 0, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  constexpr std::uint32_t kTop = 0x00300000;
  images.AddStack(kTop, 0x40000);
  const std::uint32_t base = 0x400000;
  auto fn = [&](const char16_t* name) { return images.Public(base, name); };
  const std::uint32_t main = fn(u"main"), outer = fn(u"Outer"), middle = fn(u"Middle"),
                      inner = fn(u"Inner"), recurse = fn(u"Recurse"), unrelated = fn(u"Unrelated");
  test::TStackBuilder s(images, kTop);
  s.Push(images.ReturnAfterCall(main, scenario == "deep" ? recurse : outer));
  if (scenario == "deep") {
    const std::uint32_t again = images.ReturnAfterCall(recurse, recurse);
    for (int i = 0; i < 10000; ++i) s.Push(again);
    s.Push(images.ReturnAfterCall(recurse, inner));
  } else {
    // Locals and stale return addresses between the frames, as real stacks have.
    const int filler = scenario == "stale" ? 200 : 8;
    for (int i = 0; i < filler; ++i)
      s.Push(i % 3 ? 0x1000u * i : images.ReturnAfterCall(unrelated, middle));
    s.Push(images.ReturnAfterCall(outer, middle));
    for (int i = 0; i < filler; ++i) s.Push(i);
    s.Push(images.ReturnAfterCall(middle, inner));
  }
  TWalkRequest request;
  request.isException = request.externalException = true;
  request.currentAddress = images.FirstStore(inner);
  request.stackTop = kTop;
  request.stackBottom = s.Sp();
  const std::uint32_t slots = (kTop - s.Sp()) / 4;
  TCountingReader counter(images.Memory());
  TPageCopyReader pages(counter, argc > 4 ? std::stoul(argv[4]) : 64);
  // Read through a counter, the walk is given a snapshot of what is
  // readable, as the live walk is: unreadable addresses never reach the
  // memory.
  TDATryRead snapshot;
  std::uint32_t at = 0;
  for (const TMemoryImage::Block& b : images.Memory().Blocks()) {
    if (b.start > at) AppendRun(snapshot, at, b.start, kNotReadable);
    at = b.start + static_cast<std::uint32_t>(b.bytes.size());
    AppendRun(snapshot, b.start, at, b.cls);
  }
  AppendRun(snapshot, at, 0, kNotReadable);
  const TDATryRead* given = memory.empty() ? nullptr : &snapshot;
  const IMemoryReader* reader = &images.Memory();
  if (memory == "direct") reader = &counter;
  if (memory == "paged") reader = &pages;
  TStackWalker walker(*reader, images);
  for (const char* round : {"cold", "warm"}) {
    pages.Forget();
    counter.reads = 0;
    const auto t0 = std::chrono::steady_clock::now();
    const bool count = counted == round;
    if (count) CALLGRIND_START_INSTRUMENTATION;
    const TWalkResult r = walker.Walk(request, given);
    if (count) CALLGRIND_STOP_INSTRUMENTATION;
    const double us =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    std::size_t lines = r.text.empty() ? 0 : 1;
    for (char16_t c : r.text) lines += c == u'\n';
    std::printf("%s %s: %u slots, %zu lines, %.0f us", scenario.c_str(), round, slots, lines, us);
    if (!memory.empty())
      std::printf(", %zu reads of the memory (%s)", counter.reads, memory.c_str());
    std::printf("\n");
  }
  return 0;
}
