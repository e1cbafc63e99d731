// Random bytes at random addresses: no crash, no read outside the reader, same result twice.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "crash/report/disasm/decoder.h"
#include "crash/report/disasm/instruction_text.h"
#include "crash/report/disasm/listing.h"
#include "crash/report/disasm/memory_image.h"

namespace {

using namespace ostrel;

// Passes reads to the image and checks that every byte handed out belongs to it.
class TCheckedReader : public IMemoryReader {
 public:
  TCheckedReader(const TMemoryImage& image, std::uint32_t base, std::uint32_t size)
      : image_(image), base_(base), size_(size) {}
  bool Read(std::uint32_t address, void* dst, std::uint32_t len) const override {
    bool ok = image_.Read(address, dst, len);
    if (ok && (address < base_ || std::uint64_t(address) + len > std::uint64_t(base_) + size_))
      std::abort();
    return ok;
  }
  bool Query(std::uint32_t address, TRegionInfo& info) const override {
    return image_.Query(address, info);
  }

 private:
  const TMemoryImage& image_;
  std::uint32_t base_, size_;
};

bool Same(const TInstruction& a, const TInstruction& b) {
  return a.valid == b.valid && a.length == b.length && a.next == b.next && a.target == b.target &&
         a.isCall == b.isCall && a.isJump == b.isJump && a.targetPointer == b.targetPointer &&
         a.opcode == b.opcode;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 6 || size > 4096) return 0;
  std::uint32_t base = 0;
  std::memcpy(&base, data, 4);
  std::uint8_t mode = data[4];
  std::vector<std::uint8_t> code(data + 5, data + size);
  if (std::uint64_t(base) + code.size() > 0x100000000ull) base -= std::uint32_t(code.size());
  std::uint32_t codeSize = std::uint32_t(code.size());
  TMemoryImage image;
  image.Add(base, code, (mode & 1) ? kExecuteOnly : kReadable, (mode & 2) ? base : 0);
  TCheckedReader reader(image, base, codeSize);

  // Linear sweep twice, with and without register state: identical results.
  TRegisterState r1, r2;
  for (std::uint32_t off = 0; off < codeSize;) {
    TInstruction a = DecodeInstruction(reader, base + off, nullptr, &r1);
    TInstruction b = DecodeInstruction(reader, base + off, nullptr, &r2);
    if (!Same(a, b) || !(r1 == r2)) std::abort();
    if (a.length == 0 || a.length > 15) std::abort();
    std::string t1, t2;
    DecodeInstructionText(reader, base + off, nullptr, nullptr, t1);
    DecodeInstructionText(reader, base + off, nullptr, nullptr, t2);
    if (t1 != t2 || t1.size() < 8) std::abort();
    off += a.length;
  }
  if (mode & 4) {
    TFunctionInfo info;
    TListingOptions options;
    options.lineLimit = mode >> 4;
    TRuntimeHelpers helpers;
    helpers.handleOnException = base + (mode & 0x08 ? 16 : 0);
    std::string listing =
        DisassembleFunction(reader, base, base + codeSize / 2, options, nullptr, helpers, info);
    TFunctionInfo again;
    if (listing != DisassembleFunction(reader, base, base + codeSize / 2, options, nullptr, helpers,
                                       again) ||
        info.valid != again.valid || info.areas.size() != again.areas.size())
      std::abort();
  }
  return 0;
}
