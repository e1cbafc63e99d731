// A report of 5,000 call-stack lines laid out for the details view (the
// work of each refresh), beside the least any layout does: cutting the text
// into lines.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "crash/ui/exception_box/detail_lists.h"

namespace {

std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// Twenty threads of 250 lines each, as the walk writes them.
std::u16string CallStacks() {
  std::string text;
  char line[160];
  for (int thread = 0; thread < 20; ++thread) {
    std::snprintf(line, sizeof line, "\r\n\r\n>> thread $%x:\r\n", 0x100 + thread);
    text += thread ? line : line + 4;
    for (int i = 0; i < 250; ++i) {
      std::snprintf(line, sizeof line,
                    "%08x +%03x pelmora.exe  orders_view.cpp %4d +%-2d TOrderList::Refresh%d\r\n",
                    0x401000 + i * 16, i % 0x400, 100 + i, i % 30, i);
      text += line;
    }
    text.resize(text.size() - 2);
  }
  return Widen(text);
}

void FormatFiveThousandLines(benchmark::State& state) {
  const std::u16string text = CallStacks();
  for (auto _ : state) {
    const ostrel::box::TabContents contents = ostrel::box::FormatTab(u"call stacks", text);
    benchmark::DoNotOptimize(contents.rows.data());
  }
}
BENCHMARK(FormatFiveThousandLines)->Unit(benchmark::kMillisecond);

void SplitIntoLines(benchmark::State& state) {
  const std::u16string text = CallStacks();
  for (auto _ : state) {
    std::vector<std::u16string> lines;
    for (std::size_t start = 0; start <= text.size();) {
      std::size_t end = text.find(u"\r\n", start);
      if (end == std::u16string::npos) end = text.size();
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    benchmark::DoNotOptimize(lines.data());
  }
}
BENCHMARK(SplitIntoLines)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
