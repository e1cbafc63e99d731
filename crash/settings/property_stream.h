#pragma once
// The settings resource: a "TPF0" property stream of the object "Ostrel" of
// class "TOstrel".

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "crash/settings/value_kind.h"

namespace ostrel {

struct StreamProperty {
  std::string name;
  ValueKind kind = ValueKind::String;
  bool boolean = false;
  std::int32_t integer = 0;
  // Texts of types 6 and 12 stay 8-bit; the others are decoded to UTF-16.
  bool wide = false;
  std::string narrow;
  std::u16string text;
  std::uint8_t typeByte = 0;
};

enum class StreamStop {
  End,          // the terminating 0
  BadHeader,    // not a settings stream at all: treated as absent
  UnknownType,  // a value type outside the table
  Truncated,    // a record runs past the end of the data
};

struct ParsedStream {
  StreamStop stop = StreamStop::End;
  std::uint8_t badType = 0;
  std::size_t stopOffset = 0;
  std::vector<StreamProperty> properties;  // everything read before the stop
};

ParsedStream ParsePropertyStream(std::span<const std::uint8_t> data);

// The message box text for a stream that stopped early; empty when it did not.
std::u16string StreamErrorText(const ParsedStream& parsed);

// Value types of the stream.
namespace stream_type {
constexpr std::uint8_t kInt8 = 2, kInt16 = 3, kInt32 = 4, kString = 6, kUtf8 = 7, kFalse = 8,
                       kTrue = 9, kLString = 12, kWString = 18, kUtf8LString = 20;
}

// Writes properties with the type byte each one names (0: the smallest
// fitting one). Throws std::invalid_argument for what the format cannot hold.
std::vector<std::uint8_t> WritePropertyStream(const std::vector<StreamProperty>& properties);

// The value records this stream shares with the assistant's form streams.
bool IsKnownStreamType(std::uint8_t type);
// One value of `type` at `pos`, which moves past it; false (and `pos` kept)
// when the data ends inside it or the type is unknown.
bool ReadStreamValue(std::span<const std::uint8_t> data, std::size_t& pos, std::uint8_t type,
                     StreamProperty& out);
// Name, type byte and value of one property, as WritePropertyStream writes it.
void WriteStreamProperty(std::vector<std::uint8_t>& out, const StreamProperty& property);

StreamProperty MakeBoolProperty(std::string name, bool value);
StreamProperty MakeIntProperty(std::string name, std::int32_t value);
StreamProperty MakeTextProperty(std::string name, std::u16string value);

}  // namespace ostrel
