// How many frames of the true call chain the walk finds, and how many lines
// it adds that are not on it, on one program built four ways: with and without
// symbols, with and without frame pointers. The stack is laid out as the program's calls left it,
// with locals and stale return addresses between the frames; its true chain is the list of return
// addresses the layout pushed. Printed beside the walk's own time.
//   stack_quality_bench [walks]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/unit/stack/loaded_images.h"

using namespace ostrel;

namespace {

constexpr std::uint32_t kTop = 0x00300000;
constexpr std::uint32_t kBase = 0x400000;

struct Build {
  const char* file;
  const char* named;  // where the functions' addresses are read (same code)
  bool framePointers;
};

}  // namespace

int main(int argc, char** argv) {
  const int walks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  const std::string dir = PELMORA_WALK_FIXTURES;
  const Build builds[] = {{"walk_fp.exe", "walk_fp.exe", true},
                          {"walk_nofp.exe", "walk_nofp.exe", false},
                          {"walk_bare.exe", "walk_fp.exe", true},
                          {"walk_bare_nofp.exe", "walk_nofp.exe", false}};
  std::printf("%-19s %-26s %6s %6s %6s %10s\n", "build", "", "chain", "found", "extra",
              "walk (us)");
  for (const Build& b : builds) {
    std::string error;
    test::TLoadedImages named;
    if (!named.Load(dir + "/walk_library.dll", 0x63000000, error) ||
        !named.Load(dir + "/" + b.named, 0, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    auto fn = [&](const char16_t* name) { return named.Public(kBase, name); };
    const std::uint32_t crt = fn(u"__tmainCRTStartup"), main = fn(u"main"), outer = fn(u"Outer"),
                        middle = fn(u"Middle"), inner = fn(u"Inner"), unrelated = fn(u"Unrelated");
    test::TLoadedImages images;
    if (!images.Load(dir + "/walk_library.dll", 0x63000000, error) ||
        !images.Load(dir + "/" + b.file, 0, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    images.AddStack(kTop, 0x40000);
    test::TStackBuilder s(images, kTop);
    std::vector<std::uint32_t> chain;  // return addresses, outermost first
    auto frame = [&](std::uint32_t from, std::uint32_t to) {
      const std::uint32_t ret = named.ReturnAfterCall(from, to);
      chain.push_back(ret);
      if (b.framePointers) {
        s.PushFrame(ret);
      } else {
        s.Push(ret);
      }
    };
    auto locals = [&](int n) {
      for (int i = 0; i < n; ++i)
        s.Push(i % 3 ? 0x1000u * i : named.ReturnAfterCall(unrelated, middle));
    };
    frame(crt, main);
    locals(12);
    frame(main, outer);
    locals(6);
    frame(outer, middle);
    locals(6);
    frame(middle, inner);
    s.Push(7);
    const std::uint32_t store = named.FirstStore(inner);
    TWalkRequest request;
    request.isException = request.externalException = true;
    request.currentAddress = store;
    request.stackTop = kTop;
    request.stackBottom = s.Sp();
    request.framePointer = b.framePointers ? s.Fp() : 0;
    TStackWalker walker(images.Memory(), images);
    TStackTrace trace;
    request.output = &trace;
    walker.Walk(request, nullptr);  // the first walk parses the functions
    std::vector<double> times;
    for (int i = 0; i < walks; ++i) {
      trace.clear();
      const auto t0 = std::chrono::steady_clock::now();
      walker.Walk(request, nullptr);
      times.push_back(
          std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    // The faulting instruction is a frame of the chain as well.
    int found = 0, extra = 0;
    std::vector<bool> matched(chain.size(), false);
    bool faultShown = false;
    for (const TStackItem& item : trace) {
      bool onChain = false;
      if (item.address == store) {
        faultShown = onChain = true;
      }
      for (std::size_t k = 0; k < chain.size() && !onChain; ++k) {
        if (!matched[k] && item.address <= chain[k] && item.address + 7 >= chain[k]) {
          matched[k] = onChain = true;
          ++found;
        }
      }
      if (!onChain) ++extra;
    }
    const bool symbols = std::string(b.file).find("bare") == std::string::npos;
    const std::string how = std::string(symbols ? "symbols" : "no symbols") +
                            (b.framePointers ? ", frame ptrs" : ", no frame ptrs");
    std::printf("%-19s %-26s %6zu %6d %6d %10.1f\n", b.file, how.c_str(), chain.size() + 1,
                found + (faultShown ? 1 : 0), extra, times[times.size() / 2]);
  }
  std::printf(
      "(chain: the faulting instruction and every return address the calls pushed; "
      "extra: lines off the chain; walk: median of %d warm walks)\n",
      walks);
  return 0;
}
