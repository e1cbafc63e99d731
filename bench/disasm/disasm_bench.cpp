// Throughput of the decoder next to Zydis and Capstone over the code of Wine's 32-bit DLLs.
// With --sweep=NAME the program decodes the corpus once (for callgrind) and prints the count.
#include <Zydis/Zydis.h>
#include <benchmark/benchmark.h>
#include <capstone/capstone.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "crash/report/disasm/decoder.h"
#include "crash/report/disasm/instruction_text.h"
#include "crash/report/disasm/memory_image.h"

namespace {

using namespace ostrel;

struct TSection {
  std::uint32_t address = 0;
  std::vector<std::uint8_t> bytes;
  TMemoryImage image;
};

std::vector<TSection>& Corpus() {
  static std::vector<TSection> corpus = [] {
    std::vector<TSection> out;
    const char* env = std::getenv("PELMORA_WINE_DLLS");
    std::filesystem::path folder = env ? env : PELMORA_WINE_DLLS_DEFAULT;
    for (const char* name : {"ntdll.dll", "kernelbase.dll", "msvcrt.dll", "user32.dll", "gdi32.dll",
                             "ole32.dll", "comctl32.dll", "shell32.dll"}) {
      std::ifstream in(folder / name, std::ios::binary);
      if (!in) continue;
      std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), {});
      std::vector<TCodeSection> sections;
      std::uint32_t base = 0;
      if (!PeCodeSections(file, sections, base)) continue;
      // Indirect transfers read their pointers from the image as the loader lays it out.
      TMemoryImage mapped;
      std::string error;
      if (!MapPeImage(file, base, mapped, error)) continue;
      for (auto& s : sections) {
        TSection t;
        t.address = base + s.rva;
        t.bytes = std::move(s.bytes);
        t.image = mapped;
        out.push_back(std::move(t));
      }
    }
    return out;
  }();
  return corpus;
}

size_t CorpusBytes() {
  size_t n = 0;
  for (const auto& s : Corpus()) n += s.bytes.size();
  return n;
}

extern "C" __attribute__((noinline)) size_t SweepOurs(bool text) {
  size_t count = 0;
  std::string line;
  for (const TSection& s : Corpus()) {
    std::uint32_t end = s.address + std::uint32_t(s.bytes.size());
    for (std::uint32_t a = s.address; a < end;) {
      TInstruction in = text ? DecodeInstructionText(s.image, a, nullptr, nullptr, line)
                             : DecodeInstruction(s.image, a, nullptr, nullptr);
      a = in.next;
      ++count;
    }
  }
  return count;
}

extern "C" __attribute__((noinline)) size_t SweepZydis(bool text) {
  ZydisDecoder decoder;
  ZydisDecoderInit(&decoder, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  if (!text) ZydisDecoderEnableMode(&decoder, ZYDIS_DECODER_MODE_MINIMAL, ZYAN_TRUE);
  ZydisFormatter formatter;
  ZydisFormatterInit(&formatter, ZYDIS_FORMATTER_STYLE_INTEL);
  size_t count = 0;
  char buffer[256];
  for (const TSection& s : Corpus()) {
    size_t at = 0;
    while (at < s.bytes.size()) {
      ZydisDecodedInstruction insn;
      ZydisDecodedOperand ops[ZYDIS_MAX_OPERAND_COUNT];
      bool ok;
      if (text) {
        ok = ZYAN_SUCCESS(
            ZydisDecoderDecodeFull(&decoder, s.bytes.data() + at, s.bytes.size() - at, &insn, ops));
        if (ok)
          ZydisFormatterFormatInstruction(&formatter, &insn, ops, insn.operand_count_visible,
                                          buffer, sizeof buffer, s.address + at, nullptr);
      } else {
        ok = ZYAN_SUCCESS(ZydisDecoderDecodeInstruction(&decoder, nullptr, s.bytes.data() + at,
                                                        s.bytes.size() - at, &insn));
      }
      at += ok ? insn.length : 1;
      ++count;
    }
  }
  return count;
}

extern "C" __attribute__((noinline)) size_t SweepCapstone() {
  csh handle;
  if (cs_open(CS_ARCH_X86, CS_MODE_32, &handle) != CS_ERR_OK) return 0;
  cs_insn* insn = cs_malloc(handle);
  size_t count = 0;
  for (const TSection& s : Corpus()) {
    const std::uint8_t* code = s.bytes.data();
    size_t size = s.bytes.size();
    std::uint64_t address = s.address;
    while (size) {
      if (!cs_disasm_iter(handle, &code, &size, &address, insn)) {
        ++code;
        --size;
        ++address;
      }
      ++count;
    }
  }
  cs_free(insn, 1);
  cs_close(&handle);
  return count;
}

void Run(benchmark::State& state, size_t (*sweep)(bool), bool text) {
  if (Corpus().empty()) {
    state.SkipWithError("no 32-bit Wine DLLs (set PELMORA_WINE_DLLS)");
    return;
  }
  size_t decoded = 0;
  for (auto _ : state) decoded += sweep(text);
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(CorpusBytes()));
  state.counters["instructions/s"] =
      benchmark::Counter(double(decoded), benchmark::Counter::kIsRate);
}

void BM_OursDecode(benchmark::State& s) { Run(s, SweepOurs, false); }
void BM_OursDecodeText(benchmark::State& s) { Run(s, SweepOurs, true); }
void BM_ZydisDecodeMinimal(benchmark::State& s) { Run(s, SweepZydis, false); }
void BM_ZydisDecodeIntelText(benchmark::State& s) { Run(s, SweepZydis, true); }
void BM_Capstone(benchmark::State& s) {
  Run(
      s, [](bool) { return SweepCapstone(); }, false);
}
BENCHMARK(BM_OursDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursDecodeText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZydisDecodeMinimal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZydisDecodeIntelText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Capstone)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--sweep=", 0) != 0) continue;
    std::string which = a.substr(8);
    Corpus();  // loaded outside the measured sweep
    size_t n = which == "ours"         ? SweepOurs(false)
               : which == "ours-text"  ? SweepOurs(true)
               : which == "zydis"      ? SweepZydis(false)
               : which == "zydis-text" ? SweepZydis(true)
               : which == "capstone"   ? SweepCapstone()
                                       : 0;
    std::printf("decoded %zu\n", n);
    return n ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
