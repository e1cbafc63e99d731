// Size of the attached symbols against the code they describe, time to load
// a program's symbols (find, unscramble, unpack, parse, sort) and the cost of
// one address lookup. SYMBOLS_BENCH_PROGRAM names a built program with its
// symbol resource; without it only the synthetic module is measured.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>

#include "crash/report/symbols/container.h"
#include "crash/report/symbols/container_writer.h"
#include "crash/report/symbols/describe.h"
#include "crash/report/symbols/pe_image.h"
#include "crash/report/symbols/symbol_text.h"
#include "tools/symbols/file_environment.h"
#include "tools/symbols/pe_editor.h"

namespace {

using namespace ostrel;

// A module the size of a large program: 40 000 functions in 2 000 units,
// 400 000 line entries over 8 MB of code.
const std::vector<std::uint8_t>& SyntheticContainer() {
  static const std::vector<std::uint8_t> container = [] {
    TSymbolSource s;
    std::mt19937 rng(7);
    std::uint32_t at = 0;
    for (int u = 0; u < 2000; ++u) {
      const std::uint32_t start = at;
      for (int f = 0; f < 20; ++f) {
        s.publics.push_back({"TUnit" + std::to_string(u) + "::Method" + std::to_string(f), at});
        for (int l = 0; l < 10; ++l) {
          s.lines.push_back({static_cast<std::int32_t>(f * 30 + l + 1), at});
          at += 4 + rng() % 16;
        }
      }
      s.segments.push_back({start, at - start, "unit" + std::to_string(u) + ".cpp", true});
    }
    return BuildContainer(s, false, 1, 2);
  }();
  return container;
}

TMapFile LoadSynthetic() {
  TMapFile m;
  m.codeBase = 0x401000;
  m.codeTop = 0x401000 + 0x800000;
  ReadContainer(m, SyntheticContainer(), nullptr);
  return m;
}

void BM_LoadSynthetic(benchmark::State& state) {
  for (auto _ : state) {
    TMapFile m = LoadSynthetic();
    benchmark::DoNotOptimize(m.publics.data());
  }
  state.counters["container_bytes"] = static_cast<double>(SyntheticContainer().size());
}
BENCHMARK(BM_LoadSynthetic)->Unit(benchmark::kMillisecond);

void Lookups(benchmark::State& state, const TMapFile& m) {
  std::mt19937 rng(11);
  std::vector<std::uint32_t> addresses(4096);
  const std::uint32_t span = m.codeTop > m.codeBase ? m.codeTop - m.codeBase : 1;
  for (auto& a : addresses) a = m.codeBase + rng() % span;
  std::size_t i = 0;
  for (auto _ : state) {
    TAddressInfo info = DescribeInSymbols(m, addresses[i++ & 4095]);
    benchmark::DoNotOptimize(info.line);
  }
}

void BM_DescribeSynthetic(benchmark::State& state) {
  static const TMapFile m = LoadSynthetic();
  Lookups(state, m);
}
BENCHMARK(BM_DescribeSynthetic);

// The built program, loaded as the running program loads its own symbols.
struct Program {
  std::vector<std::uint8_t> image;
  std::uint32_t base = 0;
  std::string path;
  double codeBytes = 0, resourceBytes = 0;
};

const Program* BuiltProgram() {
  static const Program* program = []() -> Program* {
    const char* path = std::getenv("SYMBOLS_BENCH_PROGRAM");
    if (path == nullptr) return nullptr;
    auto bytes = tools::ReadFileBytes(path);
    if (!bytes) return nullptr;
    const TPeImage file(*bytes, false);
    if (!file.valid()) return nullptr;
    auto* p = new Program;
    p->image = tools::MapImage(file);
    p->base = file.imageBase();
    p->path = path;
    p->codeBytes = file.codeEnd() - file.codeBegin();
    p->resourceBytes = static_cast<double>(
        file.FindResourceData({0, kSymbolResourceType}, {0, kSymbolResourceName}).size());
    return p;
  }();
  return program;
}

TMapFile LoadProgram(const Program& p) {
  TMapFile m;
  m.moduleHandle = p.base;
  m.moduleFileName = Utf8ToUtf16(p.path);
  tools::TFileEnvironment env(p.image);
  BuildModuleSymbols(m, env);
  return m;
}

void BM_LoadProgram(benchmark::State& state) {
  const Program* p = BuiltProgram();
  if (p == nullptr) {
    state.SkipWithError("SYMBOLS_BENCH_PROGRAM not set");
    return;
  }
  std::size_t publics = 0, lines = 0;
  for (auto _ : state) {
    TMapFile m = LoadProgram(*p);
    publics = m.publics.size();
    lines = m.lines.size();
    benchmark::DoNotOptimize(m.valid);
  }
  state.counters["code_bytes"] = p->codeBytes;
  state.counters["resource_bytes"] = p->resourceBytes;
  state.counters["resource_per_code_%"] = 100.0 * p->resourceBytes / p->codeBytes;
  state.counters["publics"] = static_cast<double>(publics);
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_LoadProgram)->Unit(benchmark::kMillisecond);

void BM_DescribeProgram(benchmark::State& state) {
  const Program* p = BuiltProgram();
  if (p == nullptr) {
    state.SkipWithError("SYMBOLS_BENCH_PROGRAM not set");
    return;
  }
  static const TMapFile m = LoadProgram(*p);
  Lookups(state, m);
}
BENCHMARK(BM_DescribeProgram);

}  // namespace

BENCHMARK_MAIN();
