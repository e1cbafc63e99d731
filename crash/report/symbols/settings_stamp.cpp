#include "crash/report/symbols/settings_stamp.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "crash/report/symbols/pe_image.h"

namespace ostrel {
namespace {

constexpr std::string_view kKey = "MinDebugInfo";

struct Property {
  std::size_t begin = 0;  // the name length byte
  std::size_t end = 0;    // just past the value
  std::string_view name;
  std::optional<std::string> text;  // 8-bit or UTF-8 text; UTF-16 narrowed when ASCII
};

// Walks the stream header and properties; false when it is not well-formed.
bool Walk(std::span<const std::uint8_t> s, std::vector<Property>& props, std::size_t& endByte) {
  std::size_t pos = 0;
  if (s.size() < 4 || std::memcmp(s.data(), "TPF0", 4) != 0) return false;
  pos = 4;
  for (std::string_view want : {std::string_view("TOstrel"), std::string_view("Ostrel")}) {
    if (pos >= s.size() || s[pos] != want.size() || s.size() - pos - 1 < want.size() ||
        std::memcmp(s.data() + pos + 1, want.data(), want.size()) != 0)
      return false;
    pos += 1 + want.size();
  }
  while (pos < s.size()) {
    const std::uint8_t nameLength = s[pos];
    if (nameLength == 0) {
      endByte = pos;
      return true;
    }
    Property p;
    p.begin = pos;
    if (s.size() - pos - 1 < nameLength + 1u) return false;
    p.name = std::string_view(reinterpret_cast<const char*>(s.data() + pos + 1), nameLength);
    pos += 1 + nameLength;
    const std::uint8_t type = s[pos++];
    auto need = [&](std::size_t n) { return s.size() - pos >= n; };
    std::size_t length = 0;
    switch (type) {
      case 2:
        length = 1;
        break;
      case 3:
        length = 2;
        break;
      case 4:
        length = 4;
        break;
      case 8:
      case 9:
        break;
      case 6:
      case 7:
        if (!need(1)) return false;
        length = s[pos++];
        if (!need(length)) return false;
        p.text.emplace(reinterpret_cast<const char*>(s.data() + pos), length);
        break;
      case 12:
      case 20:
        if (!need(4)) return false;
        length = ReadLe32(s, pos);
        pos += 4;
        if (!need(length)) return false;
        p.text.emplace(reinterpret_cast<const char*>(s.data() + pos), length);
        break;
      case 18: {
        if (!need(4)) return false;
        const std::size_t chars = ReadLe32(s, pos);
        pos += 4;
        if (chars > (s.size() - pos) / 2) return false;
        length = chars * 2;
        std::string narrow;
        bool ascii = true;
        for (std::size_t i = 0; i < chars; ++i) {
          const std::uint16_t c = ReadLe16(s, pos + i * 2);
          ascii = ascii && c < 128;
          narrow.push_back(static_cast<char>(c));
        }
        if (ascii) p.text = narrow;
        break;
      }
      default:
        return false;
    }
    if (!need(length)) return false;
    pos += length;
    p.end = pos;
    props.push_back(p);
  }
  return false;
}

}  // namespace

std::optional<std::string> FindMinDebugInfo(std::span<const std::uint8_t> stream) {
  std::vector<Property> props;
  std::size_t endByte = 0;
  // Properties read before a fault still count, as the settings reader keeps them.
  Walk(stream, props, endByte);
  for (const Property& p : props) {
    if (p.name != kKey) continue;
    if (p.text && p.text->size() == 31) return p.text;
    return std::nullopt;
  }
  return std::nullopt;
}

std::vector<std::uint8_t> SetMinDebugInfo(std::span<const std::uint8_t> stream,
                                          const std::string& value) {
  std::vector<Property> props;
  std::size_t endByte = 0;
  if (!Walk(stream, props, endByte) || value.size() > 255) return {};
  // name length, name, type 6 (8-bit text), text length, text
  std::string record;
  record += static_cast<char>(kKey.size());
  record += kKey;
  record += static_cast<char>(6);
  record += static_cast<char>(value.size());
  record += value;
  std::size_t cutBegin = endByte, cutEnd = endByte;
  for (const Property& p : props) {
    if (p.name == kKey) {
      cutBegin = p.begin;
      cutEnd = p.end;
      break;
    }
  }
  std::vector<std::uint8_t> out(stream.begin(),
                                stream.begin() + static_cast<std::ptrdiff_t>(cutBegin));
  out.insert(out.end(), record.begin(), record.end());
  out.insert(out.end(), stream.begin() + static_cast<std::ptrdiff_t>(cutEnd), stream.end());
  return out;
}

}  // namespace ostrel
