// ostrel-disasm: decodes raw code or a PE file offline in the bug report's text format.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "crash/report/disasm/decoder.h"
#include "crash/report/disasm/instruction_text.h"
#include "crash/report/disasm/listing.h"
#include "crash/report/disasm/memory_image.h"
#include "crash/base/hex.h"

namespace {

const char kUsage[] =
    "usage: ostrel-disasm [options] FILE\n"
    "  FILE is raw code or a 32-bit PE image (sections are laid out as loaded)\n"
    "  --base ADDR      address of the file's first byte (raw) or image base (PE)\n"
    "  --start ADDR     first instruction (default: the base, or a PE's entry point)\n"
    "  --count N        number of instructions (default: to the end of the code)\n"
    "  --lengths        linear sweep: offset (hex), length, valid or invalid\n"
    "  --function ADDR  listing of the function at ADDR\n"
    "  --exception ADDR mark ADDR in the listing\n"
    "  --limit N        listing lines before and after the exception address\n"
    "  --plain          listing without delimiters\n";

bool ParseNumber(const std::string& s, std::uint32_t& v) {
  char* end = nullptr;
  std::string t = s;
  if (!t.empty() && t[0] == '$') t = "0x" + t.substr(1);
  unsigned long long x = std::strtoull(t.c_str(), &end, 0);
  if (t.empty() || *end || x > 0xFFFFFFFFull) return false;
  v = std::uint32_t(x);
  return true;
}

int Fail(const std::string& message) {
  std::cerr << "ostrel-disasm: " << message << "\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t base = 0, start = 0, count = 0xFFFFFFFFu, function = 0, exception = 0, limit = 0;
  bool haveBase = false, haveStart = false, lengths = false, haveFunction = false, plain = false;
  std::string file;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::uint32_t& v) {
      if (i + 1 >= argc || !ParseNumber(argv[i + 1], v)) return false;
      ++i;
      return true;
    };
    if (a == "--base") {
      if (!value(base)) return Fail("--base needs an address");
      haveBase = true;
    } else if (a == "--start") {
      if (!value(start)) return Fail("--start needs an address");
      haveStart = true;
    } else if (a == "--count") {
      if (!value(count)) return Fail("--count needs a number");
    } else if (a == "--function") {
      if (!value(function)) return Fail("--function needs an address");
      haveFunction = true;
    } else if (a == "--exception") {
      if (!value(exception)) return Fail("--exception needs an address");
    } else if (a == "--limit") {
      if (!value(limit)) return Fail("--limit needs a number");
    } else if (a == "--lengths") {
      lengths = true;
    } else if (a == "--plain") {
      plain = true;
    } else if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      return Fail("unknown option " + a + "\n" + kUsage);
    } else if (file.empty()) {
      file = a;
    } else {
      return Fail("more than one input file");
    }
  }
  if (file.empty()) return Fail(std::string("no input file\n") + kUsage);
  std::ifstream in(file, std::ios::binary);
  if (!in) return Fail("cannot open " + file);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});

  ostrel::TMemoryImage image;
  std::uint32_t end = 0;
  bool pe = bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z';
  if (pe) {
    std::string error;
    std::uint32_t mapped = 0;
    if (!ostrel::MapPeImage(bytes, haveBase ? base : 0, image, error, &mapped))
      return Fail(file + ": " + error);
    base = mapped;
    const auto& block = image.Blocks().front();
    end = base + std::uint32_t(block.bytes.size());
    if (!haveStart) {
      std::uint32_t peAt = 0, entry = 0;
      image.Read(base + 0x3C, &peAt, 4);
      image.Read(base + peAt + 24 + 16, &entry, 4);
      start = base + entry;
    }
  } else {
    if (std::uint64_t(base) + bytes.size() > 0x100000000ull)
      return Fail("file does not fit at base");
    end = base + std::uint32_t(bytes.size());
    image.Add(base, std::move(bytes), ostrel::kReadable, 0);
    if (!haveStart) start = base;
  }
  (void)haveBase;

  if (haveFunction) {
    ostrel::TFunctionInfo info;
    ostrel::TListingOptions options;
    options.formatDelimiters = !plain;
    options.lineLimit = int(limit);
    std::string text =
        ostrel::DisassembleFunction(image, function, exception, options, nullptr, {}, info);
    if (!info.valid) {
      std::cerr << "ostrel-disasm: error " << info.errorNumber << " at "
                << ostrel::HexText(info.errorAddress, 8) << ": " << info.errorText << "\n";
      return 1;
    }
    for (char c : text)
      if (c != '\r') std::cout << c;
    std::cout << "\n";
    return 0;
  }
  std::uint32_t a = start;
  for (std::uint32_t k = 0; k < count && a >= start && a < end; ++k) {
    if (lengths) {
      ostrel::TInstruction ins = ostrel::DecodeInstruction(image, a, nullptr, nullptr);
      std::printf("%x %u %s\n", a - base, unsigned(ins.length), ins.valid ? "valid" : "invalid");
      a = ins.next;
    } else {
      std::string text;
      ostrel::TInstruction ins = ostrel::DecodeInstructionText(image, a, nullptr, nullptr, text);
      std::cout << text << "\n";
      a = ins.next;
    }
  }
  return 0;
}
