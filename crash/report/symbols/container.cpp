#include "crash/report/symbols/container.h"

#include <cstring>

#include "crash/report/symbols/symbol_text.h"
#include "crash/imaging/compression.h"
#include "crash/base/hex.h"

namespace ostrel {
namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Bounds-checked reader over the unpacked payload.
class PayloadReader {
 public:
  explicit PayloadReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::size_t Remaining() const { return data_.size() - pos_; }

  bool U32(std::uint32_t& v) {
    if (Remaining() < 4) return false;
    v = Le32(data_.data() + pos_);
    pos_ += 4;
    return true;
  }

  bool Byte(std::uint8_t& v) {
    if (Remaining() < 1) return false;
    v = data_[pos_++];
    return true;
  }

  bool Packed(std::int32_t& v) {
    std::uint8_t b = 0;
    if (!Byte(b)) return false;
    if (b != 0x80) {
      v = static_cast<std::int8_t>(b);
      return true;
    }
    std::uint32_t u = 0;
    if (!U32(u)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
  }

  // A string whose bytes run past the end reads as empty, and ends the data.
  bool String(std::u16string& v) {
    std::uint8_t n = 0;
    if (!Byte(n)) return false;
    if (Remaining() < n) {
      pos_ = data_.size();
      v.clear();
      return true;
    }
    v = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data_.data() + pos_), n));
    pos_ += n;
    return true;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<TContainerHeader> ReadContainerHeader(std::span<const std::uint8_t> c) {
  if (c.size() <= kSignatureLength + 8) return std::nullopt;
  if (std::memcmp(c.data(), kContainerSignature, kSignatureLength) != 0) return std::nullopt;
  TContainerHeader h;
  h.payloadLength = Le32(c.data() + 14);
  h.version = Le32(c.data() + 18);
  if (h.version == 2) {
    h.payloadOffset = kHeaderV2;
  } else if (h.version == 3) {
    if (c.size() < kHeaderV3) return std::nullopt;
    h.stampA = Le32(c.data() + 22);
    h.stampB = Le32(c.data() + 26);
    h.flags = Le32(c.data() + 30);
    h.payloadOffset = kHeaderV3;
  } else {
    return std::nullopt;
  }
  if (h.payloadLength > c.size() - h.payloadOffset) return std::nullopt;  // truncated
  return h;
}

std::string ContainerStamp(std::uint32_t totalLength, std::uint32_t stampA, std::uint32_t stampB) {
  std::string stamp = "$";
  stamp += HexText(totalLength, 8);
  stamp += ", $";
  stamp += HexText(stampA, 8);
  stamp += ", $";
  stamp += HexText(stampB, 8);
  return stamp;
}

void ScramblePayload(std::span<std::uint8_t> payload) {
  // xorshift keystream keyed by the payload length: it only has to keep names
  // from being read off the file with a text viewer.
  std::uint32_t state = static_cast<std::uint32_t>(payload.size()) * 0x9E3779B1u ^ 0x4F53544Cu;
  if (state == 0) state = 0x4F53544Cu;
  for (std::uint8_t& b : payload) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b ^= static_cast<std::uint8_t>(state >> 24);
  }
}

bool ReadPayload(TMapFile& symbols, std::span<const std::uint8_t> payload, bool minimal) {
  TMapFile work = symbols;
  work.ClearSymbols();
  PayloadReader in(payload);
  std::uint32_t count = 0;
  // Each record takes at least one byte, so a count beyond the data is a lie.
  if (!in.U32(count) || count > in.Remaining()) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t start = 0, length = 0;
    if (!in.U32(start) || !in.U32(length)) return false;
    std::u16string unit;
    bool hasLines = false;
    if (minimal) {
      std::uint8_t flag = 0;
      if (!in.Byte(flag)) return false;
      hasLines = flag != 0;
      unit = u"segment%";
      unit += DecimalText(i);
    } else if (!in.String(unit)) {
      return false;
    }
    work.AddSegment(true, true, false, false, unit, length, start);
    if (minimal && !work.segments.empty()) work.segments.back().hasLines = hasLines;
  }
  work.SortSegments();
  if (!in.U32(count) || count > in.Remaining() + 1) return false;
  std::uint32_t address = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::u16string name;
    if (minimal) {
      name = u"public%";
      name += DecimalText(i);
    } else if (!in.String(name)) {
      return false;
    }
    if (i == 0) {
      if (!in.U32(address)) return false;
    } else {
      std::int32_t delta = 0;
      if (!in.Packed(delta)) return false;
      address += static_cast<std::uint32_t>(delta);
    }
    work.AddPublic(true, name, false, address);
  }
  work.SortPublics();
  if (!in.U32(count) || count > in.Remaining() + 1) return false;
  if (count > 0) {
    std::uint32_t line = 0, offset = 0;
    if (!in.U32(line) || !in.U32(offset)) return false;
    work.lines.reserve(count);
    work.AppendLineRecord(static_cast<std::int32_t>(line), work.codeBase + offset, false);
    for (std::uint32_t i = 1; i < count; ++i) {
      std::int32_t dLine = 0, dAddress = 0;
      if (!in.Packed(dLine) || !in.Packed(dAddress)) return false;
      line += static_cast<std::uint32_t>(dLine);
      offset += static_cast<std::uint32_t>(dAddress);
      work.AppendLineRecord(static_cast<std::int32_t>(line), work.codeBase + offset, false);
    }
  }
  std::uint32_t entry = 0;
  if (in.Remaining() == 4 && in.U32(entry)) work.entryPoint = work.codeBase + entry;
  work.valid = true;
  symbols = std::move(work);
  return true;
}

bool ReadContainer(TMapFile& symbols, std::span<const std::uint8_t> container,
                   const TContainerContext* context) {
  const auto header = ReadContainerHeader(container);
  if (!header) return false;
  const auto total = static_cast<std::uint32_t>(container.size());
  if (!symbols.stamp.empty() &&
      symbols.stamp != ContainerStamp(total, header->stampA, header->stampB))
    return false;
  const bool minimal = header->version == 3 && (header->flags & kFlagMinimal) != 0;
  if (minimal) {
    if (context != nullptr && context->minDebugInfo) {
      if (auto stamp = context->minDebugInfo(); stamp && stamp->size() == 31)
        symbols.stamp = *stamp;
    }
    if (context != nullptr && context->readOstrelFile && context->readOstrelFile(symbols))
      return true;
  } else {
    symbols.stamp.clear();
  }
  std::vector<std::uint8_t> payload(
      container.begin() + static_cast<std::ptrdiff_t>(header->payloadOffset),
      container.begin() +
          static_cast<std::ptrdiff_t>(header->payloadOffset + header->payloadLength));
  ScramblePayload(payload);
  const std::vector<std::uint8_t> data = UnpackBlob(payload);
  if (data.empty()) return false;
  // The flag, not the stamp, says whether names are present: reading minimal
  // data as named data would misread every record.
  return ReadPayload(symbols, data, minimal);
}

}  // namespace ostrel
