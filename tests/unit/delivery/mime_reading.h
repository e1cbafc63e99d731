#pragma once
// Reading back what the delivery writes, written apart from it so that a
// fault on one side is not mirrored by the other: Base64 and encoded
// words decoded, headers unfolded, MIME parts split, SMTP dots removed.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::delivery::testing {

// Nothing when a character is outside the alphabet (line breaks are
// skipped) or the padding is wrong.
std::optional<std::string> DecodeBase64(std::string_view text);
// "=?charset?B|Q?...?=" words decoded to their bytes; blanks between two
// words dropped; the charset is not converted.
std::string DecodeEncodedWords(std::string_view text);

struct MimeEntity {
  std::vector<std::pair<std::string, std::string>> headers;  // unfolded, in order
  std::string body;
  // The first header of that name (without regard to case), or nothing.
  std::optional<std::string> Header(std::string_view name) const;
};
// Headers up to the first empty line, the rest as body.
MimeEntity ReadEntity(std::string_view text);
// The parts between "--boundary" lines, up to "--boundary--"; each part's
// body without the line break before the next delimiter.
std::vector<MimeEntity> ReadParts(std::string_view body, std::string_view boundary);

// What a server makes of DATA: up to the line ".", each line's leading
// "." removed. Nothing when the data lacks the final ".".
std::optional<std::string> RemoveDots(std::string_view data);

// Every line of `text` (CR LF separated), with its length.
std::vector<std::string> Lines(std::string_view text);

}  // namespace ostrel::delivery::testing
