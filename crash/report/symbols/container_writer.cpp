#include "crash/report/symbols/container_writer.h"

#include <algorithm>
#include <cstring>

#include "crash/report/symbols/container.h"
#include "crash/imaging/compression.h"
#include "crash/base/crc32.h"

namespace ostrel {
namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutPacked(std::vector<std::uint8_t>& out, std::int32_t v) {
  if (v >= -127 && v <= 127) {
    out.push_back(static_cast<std::uint8_t>(static_cast<std::int8_t>(v)));
  } else {
    out.push_back(0x80);
    PutU32(out, static_cast<std::uint32_t>(v));
  }
}

void PutString(std::vector<std::uint8_t>& out, const std::string& text) {
  const std::string fitted = FitPackedString(text);
  out.push_back(static_cast<std::uint8_t>(fitted.size()));
  out.insert(out.end(), fitted.begin(), fitted.end());
}

}  // namespace

std::string FitPackedString(const std::string& text) {
  if (text.size() <= 255) return text;
  std::size_t n = 255;
  while (n > 0 && (static_cast<std::uint8_t>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

std::vector<std::uint8_t> BuildPayload(const TSymbolSource& source, bool minimal) {
  std::vector<std::uint8_t> out;
  auto segments = source.segments;
  std::stable_sort(segments.begin(), segments.end(),
                   [](const auto& a, const auto& b) { return a.start < b.start; });
  PutU32(out, static_cast<std::uint32_t>(segments.size()));
  for (const auto& s : segments) {
    PutU32(out, s.start);
    PutU32(out, s.length);
    if (minimal) {
      out.push_back(s.hasLines ? 1 : 0);
    } else {
      PutString(out, s.unit);
    }
  }
  auto publics = source.publics;
  std::stable_sort(publics.begin(), publics.end(),
                   [](const auto& a, const auto& b) { return a.address < b.address; });
  PutU32(out, static_cast<std::uint32_t>(publics.size()));
  for (std::size_t i = 0; i < publics.size(); ++i) {
    if (!minimal) PutString(out, publics[i].name);
    if (i == 0) {
      PutU32(out, publics[i].address);
    } else {
      PutPacked(out, static_cast<std::int32_t>(publics[i].address - publics[i - 1].address));
    }
  }
  auto lines = source.lines;
  std::stable_sort(lines.begin(), lines.end(),
                   [](const auto& a, const auto& b) { return a.address < b.address; });
  if (minimal) lines.clear();
  PutU32(out, static_cast<std::uint32_t>(lines.size()));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == 0) {
      PutU32(out, static_cast<std::uint32_t>(lines[i].line));
      PutU32(out, lines[i].address);
    } else {
      PutPacked(out, static_cast<std::int32_t>(static_cast<std::uint32_t>(lines[i].line) -
                                               static_cast<std::uint32_t>(lines[i - 1].line)));
      PutPacked(out, static_cast<std::int32_t>(lines[i].address - lines[i - 1].address));
    }
  }
  if (source.entryPoint) PutU32(out, *source.entryPoint);
  return out;
}

std::vector<std::uint8_t> PackBlob(const std::vector<std::uint8_t>& data) {
  // Stored blocks bound the worst case: 5 bytes per 16 KiB block, plus slack.
  const std::size_t room = data.size() + data.size() / 16000 * 5 + 64;
  std::vector<std::uint8_t> out(12 + room);
  const int packed = DeflateBuffer(data.data(), data.size(), out.data() + 12, room);
  if (packed <= 0) return {};
  out.resize(12 + static_cast<std::size_t>(packed));
  const std::uint32_t crc = ~Crc32Update(0xFFFFFFFFu, data.data(), data.size());
  const auto length = static_cast<std::uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) {
    out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
    out[static_cast<std::size_t>(4 + i)] = 0;
    out[static_cast<std::size_t>(8 + i)] = static_cast<std::uint8_t>(crc >> (8 * i));
  }
  return out;
}

std::vector<std::uint8_t> BuildContainer(const TSymbolSource& source, bool minimal,
                                         std::uint32_t stampA, std::uint32_t stampB) {
  std::vector<std::uint8_t> blob = PackBlob(BuildPayload(source, minimal));
  if (blob.empty()) return {};
  ScramblePayload(blob);
  std::vector<std::uint8_t> out(kContainerSignature, kContainerSignature + kSignatureLength);
  PutU32(out, static_cast<std::uint32_t>(blob.size()));
  PutU32(out, 3);
  PutU32(out, stampA);
  PutU32(out, stampB);
  PutU32(out, minimal ? kFlagMinimal : 0);
  out.insert(out.end(), blob.begin(), blob.end());
  return out;
}

}  // namespace ostrel
