// Arbitrary code and stack bytes: the walk neither crashes nor reads outside
// the memory it was given, and two walkers give the same text and checksums.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "crash/report/disasm/memory_image.h"
#include "crash/report/stack/stack_trace.h"

namespace {

using namespace ostrel;

constexpr std::uint32_t kBase = 0x400000;
constexpr std::uint32_t kCode = kBase + 0x1000;
constexpr std::uint32_t kStackTop = 0x00200000;

class TCheckedReader : public IMemoryReader {
 public:
  explicit TCheckedReader(const TMemoryImage& image) : image_(image) {}
  bool Read(std::uint32_t address, void* dst, std::uint32_t len) const override {
    const bool ok = image_.Read(address, dst, len);
    if (ok && !Inside(address, len)) std::abort();
    return ok;
  }
  bool Query(std::uint32_t address, TRegionInfo& info) const override {
    return image_.Query(address, info);
  }

 private:
  bool Inside(std::uint32_t address, std::uint32_t len) const {
    for (const TMemoryImage::Block& b : image_.Blocks()) {
      if (address >= b.start && std::uint64_t(address) + len <= b.start + b.bytes.size())
        return true;
    }
    return false;
  }
  const TMemoryImage& image_;
};

class TFuzzEnvironment : public IStackEnvironment {
 public:
  explicit TFuzzEnvironment(std::shared_ptr<const TMapFile> symbols) : symbols_(symbols) {}
  std::shared_ptr<const TMapFile> Symbols(std::uint32_t base) override {
    return base == kBase ? symbols_ : nullptr;
  }
  std::u16string ModuleFileName(std::uint32_t) override { return u"fuzz.exe"; }
  bool IsProgramModule(std::uint32_t base) override { return base == kBase; }

 private:
  std::shared_ptr<const TMapFile> symbols_;
};

void Put32(std::vector<std::uint8_t>& m, std::size_t at, std::uint32_t v) {
  std::memcpy(&m[at], &v, 4);
}

// A module image: PE headers and one code section at +0x1000 holding code.
std::vector<std::uint8_t> Module(const std::uint8_t* code, std::size_t length) {
  std::vector<std::uint8_t> m(0x2000, 0);
  m[0] = 'M';
  m[1] = 'Z';
  Put32(m, 0x3C, 0x40);
  Put32(m, 0x40, 0x4550);
  m[0x46] = 1;
  m[0x54] = 0xE0;
  m[0x58] = 0x0B;
  m[0x59] = 0x01;
  Put32(m, 0x58 + 4, 0x1000);
  Put32(m, 0x58 + 20, 0x1000);
  Put32(m, 0x58 + 24, 0x2000);
  Put32(m, 0x58 + 56, 0x2000);
  const std::size_t section = 0x58 + 0xE0;
  std::memcpy(&m[section], ".text", 5);
  Put32(m, section + 8, 0x1000);
  Put32(m, section + 12, 0x1000);
  Put32(m, section + 36, 0x60000020);
  std::memcpy(&m[0x1000], code, length);
  return m;
}

}  // namespace

// Input: flags (1), number of publics (1), code length (2), code, then the
// stack. Publics and the current address come from the code's first bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8 || size > 8192) return 0;
  const std::uint8_t flags = data[0];
  const std::size_t publics = data[1] % 8;
  std::size_t codeLength = (data[2] | data[3] << 8) % 0x1000;
  if (codeLength > size - 4) codeLength = size - 4;
  const std::uint8_t* code = data + 4;
  const std::uint8_t* stack = code + codeLength;
  std::size_t stackLength = (size - 4 - codeLength) & ~std::size_t{3};
  if (stackLength == 0) return 0;

  TMemoryImage image;
  image.Add(kBase, Module(code, codeLength), kReadable, kBase);
  std::vector<std::uint8_t> stackBytes(stack, stack + stackLength);
  image.Add(kStackTop - static_cast<std::uint32_t>(stackLength), stackBytes, kReadable,
            kStackTop - static_cast<std::uint32_t>(stackLength));

  auto symbols = std::make_shared<TMapFile>();
  symbols->valid = publics > 0;
  symbols->moduleHandle = kBase;
  symbols->codeBase = kCode;
  symbols->codeTop = kCode + 0x1000;
  symbols->AddSegment(true, true, true, true, u"unit", 0x1000, 0);
  for (std::size_t i = 0; i < publics; ++i) {
    const std::uint32_t at = codeLength ? (code[i % codeLength] * 16u) % 0x1000 : 0;
    symbols->AddPublic(true, u"f" + std::u16string(1, char16_t(u'a' + i)), false, at);
    symbols->AppendLineRecord(static_cast<std::int32_t>(i + 1), kCode + at, false);
  }
  symbols->SortPublics();
  symbols->SortLines();

  TWalkRequest request;
  request.hideUglyItems = flags & 1;
  request.showRelativeAddresses = flags & 2;
  request.showRelativeLines = flags & 4;
  request.isException = flags & 8;
  request.externalException = flags & 16;
  request.noTopItem = !(flags & 8);
  request.stackTop = kStackTop;
  request.stackBottom = kStackTop - static_cast<std::uint32_t>(stackLength);
  request.currentAddress = kCode + (codeLength ? code[0] % codeLength : 0);
  if (flags & 32) request.framePointer = request.stackBottom + (stackLength / 2 & ~3u);
  if (flags & 64) request.creatorAddress = kCode + (codeLength > 1 ? code[1] % codeLength : 0);

  TCheckedReader reader(image);
  TWalkResult results[2];
  TStackTrace traces[2];
  for (int round = 0; round < 2; ++round) {
    TFuzzEnvironment environment(symbols);
    TStackWalker walker(reader, environment);
    request.output = &traces[round];
    results[round] = walker.Walk(request, nullptr);
  }
  if (results[0].text != results[1].text || results[0].checksum1 != results[1].checksum1 ||
      results[0].checksum2 != results[1].checksum2 || traces[0].size() != traces[1].size())
    std::abort();
  // One output record per written line.
  std::size_t lines = results[0].text.empty() ? 0 : 1;
  for (std::size_t at = results[0].text.find(u"\r\n"); at != std::u16string::npos;
       at = results[0].text.find(u"\r\n", at + 2))
    ++lines;
  if (results[0].text.rfind(u">>", 0) != 0 && lines != traces[0].size()) std::abort();
  return 0;
}
