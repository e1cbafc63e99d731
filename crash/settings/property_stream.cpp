#include "crash/settings/property_stream.h"

#include <cstring>
#include <stdexcept>

#include "crash/base/utf.h"
#include "crash/base/hex.h"

namespace ostrel {

namespace {

constexpr char kSignature[] = "TPF0";
constexpr char kClassName[] = "TOstrel";
constexpr char kObjectName[] = "Ostrel";

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> data, std::size_t pos = 0)
      : data_(data), pos_(pos) {}
  bool Has(std::uint64_t n) const { return pos_ + n <= data_.size(); }
  std::size_t pos() const { return pos_; }
  std::uint8_t Byte() { return data_[pos_++]; }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(data_[pos_++]) << (8 * i);
    return v;
  }
  std::string Chars(std::size_t n) {
    std::string s(reinterpret_cast<const char*>(data_.data() + pos_), n);
    pos_ += n;
    return s;
  }
  // A length-prefixed 8-bit string equal to `expected`.
  bool Expect(const char* expected) {
    const std::size_t n = std::strlen(expected);
    if (!Has(1 + n) || data_[pos_] != n) return false;
    if (std::memcmp(data_.data() + pos_ + 1, expected, n) != 0) return false;
    pos_ += 1 + n;
    return true;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_;
};

// Reads one value; false when the data ends inside it.
bool ReadValue(Reader& r, std::uint8_t type, StreamProperty& p) {
  using namespace stream_type;
  switch (type) {
    case kInt8:
      if (!r.Has(1)) return false;
      p.kind = ValueKind::Integer;
      p.integer = static_cast<std::int8_t>(r.Byte());
      return true;
    case kInt16: {
      if (!r.Has(2)) return false;
      p.kind = ValueKind::Integer;
      const std::uint16_t lo = r.Byte();
      p.integer = static_cast<std::int16_t>(lo | (r.Byte() << 8));
      return true;
    }
    case kInt32:
      if (!r.Has(4)) return false;
      p.kind = ValueKind::Integer;
      p.integer = static_cast<std::int32_t>(r.U32());
      return true;
    case kFalse:
    case kTrue:
      p.kind = ValueKind::Boolean;
      p.boolean = type == kTrue;
      return true;
    case kString:
    case kUtf8:
    case kLString:
    case kUtf8LString: {
      const bool longForm = type == kLString || type == kUtf8LString;
      if (!r.Has(longForm ? 4 : 1)) return false;
      const std::uint32_t n = longForm ? r.U32() : r.Byte();
      if (!r.Has(n)) return false;
      p.kind = ValueKind::String;
      std::string bytes = r.Chars(n);
      if (type == kUtf8 || type == kUtf8LString) {
        p.wide = true;
        p.text = Utf8ToUtf16(bytes);
      } else {
        p.narrow = std::move(bytes);
      }
      return true;
    }
    case kWString: {
      if (!r.Has(4)) return false;
      const std::uint32_t n = r.U32();
      if (!r.Has(std::uint64_t{n} * 2)) return false;
      p.kind = ValueKind::String;
      p.wide = true;
      p.text.resize(n);
      for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint16_t lo = r.Byte();
        p.text[i] = static_cast<char16_t>(lo | (r.Byte() << 8));
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

bool IsKnownStreamType(std::uint8_t t) {
  using namespace stream_type;
  switch (t) {
    case kInt8:
    case kInt16:
    case kInt32:
    case kString:
    case kUtf8:
    case kFalse:
    case kTrue:
    case kLString:
    case kWString:
    case kUtf8LString:
      return true;
    default:
      return false;
  }
}

bool ReadStreamValue(std::span<const std::uint8_t> data, std::size_t& pos, std::uint8_t type,
                     StreamProperty& out) {
  if (pos > data.size()) return false;
  Reader r(data, pos);
  if (!ReadValue(r, type, out)) return false;
  pos = r.pos();
  return true;
}

ParsedStream ParsePropertyStream(std::span<const std::uint8_t> data) {
  ParsedStream out;
  Reader r(data);
  if (!r.Has(4) || std::memcmp(data.data(), kSignature, 4) != 0) {
    out.stop = StreamStop::BadHeader;
    return out;
  }
  r.Chars(4);
  if (!r.Expect(kClassName) || !r.Expect(kObjectName)) {
    out.stop = StreamStop::BadHeader;
    return out;
  }
  for (;;) {
    out.stopOffset = r.pos();
    if (!r.Has(1)) {
      out.stop = StreamStop::Truncated;
      return out;
    }
    const std::uint8_t nameLen = r.Byte();
    if (nameLen == 0) {
      out.stop = StreamStop::End;
      return out;
    }
    if (!r.Has(nameLen + 1u)) {
      out.stop = StreamStop::Truncated;
      return out;
    }
    StreamProperty p;
    p.name = r.Chars(nameLen);
    p.typeByte = r.Byte();
    if (!IsKnownStreamType(p.typeByte)) {
      out.stop = StreamStop::UnknownType;
      out.badType = p.typeByte;
      return out;
    }
    if (!ReadValue(r, p.typeByte, p)) {
      out.stop = StreamStop::Truncated;
      return out;
    }
    out.properties.push_back(std::move(p));
  }
}

std::u16string StreamErrorText(const ParsedStream& parsed) {
  switch (parsed.stop) {
    case StreamStop::UnknownType: {
      std::u16string s = u"Internal error: Invalid settings resource ($";
      s += HexText16(parsed.badType, 2, true);
      return s + u").";
    }
    case StreamStop::Truncated:
      return u"Internal error: Invalid settings resource (truncated).";
    default:
      return {};
  }
}

namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutShort(std::vector<std::uint8_t>& out, std::string_view s) {
  out.push_back(static_cast<std::uint8_t>(s.size()));
  out.insert(out.end(), s.begin(), s.end());
}

bool IsAscii(std::u16string_view s) {
  for (char16_t c : s)
    if (c >= 0x80 || c == 0) return false;
  return true;
}

bool HasLoneSurrogate(std::u16string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      ++i;
    } else if (s[i] >= 0xD800 && s[i] <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

std::uint8_t ChooseType(const StreamProperty& p) {
  using namespace stream_type;
  switch (p.kind) {
    case ValueKind::Boolean:
      return p.boolean ? kTrue : kFalse;
    case ValueKind::Integer:
      if (p.integer >= -128 && p.integer <= 127) return kInt8;
      if (p.integer >= -32768 && p.integer <= 32767) return kInt16;
      return kInt32;
    case ValueKind::String:
      if (!p.wide) return p.narrow.size() < 256 ? kString : kLString;
      if (IsAscii(p.text)) return p.text.size() < 256 ? kString : kLString;
      // UTF-8 cannot carry unpaired surrogates.
      if (HasLoneSurrogate(p.text)) return kWString;
      return Utf16ToUtf8(p.text).size() < 256 ? kUtf8 : kUtf8LString;
  }
  return 0;
}

void WriteValue(std::vector<std::uint8_t>& out, const StreamProperty& p, std::uint8_t type) {
  using namespace stream_type;
  auto needKind = [&](ValueKind k) {
    if (p.kind != k) throw std::invalid_argument("value type does not fit the value: " + p.name);
  };
  std::string bytes;
  if (p.kind == ValueKind::String) {
    if (type == kUtf8 || type == kUtf8LString) {
      bytes = p.wide ? Utf16ToUtf8(p.text) : p.narrow;
    } else if (type == kString || type == kLString) {
      if (p.wide && !IsAscii(p.text))
        throw std::invalid_argument("8-bit string type for a non-ASCII text: " + p.name);
      bytes = p.wide ? std::string(p.text.begin(), p.text.end()) : p.narrow;
    }
  }
  switch (type) {
    case kInt8:
    case kInt16:
    case kInt32: {
      needKind(ValueKind::Integer);
      const int size = type == kInt8 ? 1 : type == kInt16 ? 2 : 4;
      const std::int64_t lo = -(std::int64_t{1} << (8 * size - 1));
      if (p.integer < lo || p.integer > -lo - 1)
        throw std::invalid_argument("integer does not fit its type: " + p.name);
      for (int i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(p.integer) >> (8 * i)));
      return;
    }
    case kFalse:
    case kTrue:
      needKind(ValueKind::Boolean);
      if (p.boolean != (type == kTrue))
        throw std::invalid_argument("boolean type does not match value: " + p.name);
      return;
    case kString:
    case kUtf8:
      needKind(ValueKind::String);
      if (bytes.size() > 255) throw std::invalid_argument("text too long for its type: " + p.name);
      PutShort(out, bytes);
      return;
    case kLString:
    case kUtf8LString:
      needKind(ValueKind::String);
      PutU32(out, static_cast<std::uint32_t>(bytes.size()));
      out.insert(out.end(), bytes.begin(), bytes.end());
      return;
    case kWString: {
      needKind(ValueKind::String);
      if (!p.wide) throw std::invalid_argument("UTF-16 type for 8-bit text: " + p.name);
      PutU32(out, static_cast<std::uint32_t>(p.text.size()));
      for (char16_t c : p.text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
      }
      return;
    }
    default:
      throw std::invalid_argument("unknown value type for " + p.name);
  }
}

}  // namespace

void WriteStreamProperty(std::vector<std::uint8_t>& out, const StreamProperty& p) {
  if (p.name.empty() || p.name.size() > 255)
    throw std::invalid_argument("property name must have 1 to 255 characters: " + p.name);
  PutShort(out, p.name);
  const std::uint8_t type = p.typeByte ? p.typeByte : ChooseType(p);
  out.push_back(type);
  WriteValue(out, p, type);
}

std::vector<std::uint8_t> WritePropertyStream(const std::vector<StreamProperty>& properties) {
  std::vector<std::uint8_t> out(kSignature, kSignature + 4);
  PutShort(out, kClassName);
  PutShort(out, kObjectName);
  for (const StreamProperty& p : properties) WriteStreamProperty(out, p);
  out.push_back(0);
  return out;
}

StreamProperty MakeBoolProperty(std::string name, bool value) {
  StreamProperty p;
  p.name = std::move(name);
  p.kind = ValueKind::Boolean;
  p.boolean = value;
  return p;
}

StreamProperty MakeIntProperty(std::string name, std::int32_t value) {
  StreamProperty p;
  p.name = std::move(name);
  p.kind = ValueKind::Integer;
  p.integer = value;
  return p;
}

StreamProperty MakeTextProperty(std::string name, std::u16string value) {
  StreamProperty p;
  p.name = std::move(name);
  p.kind = ValueKind::String;
  p.wide = true;
  p.text = std::move(value);
  return p;
}

}  // namespace ostrel
