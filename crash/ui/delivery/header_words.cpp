#include "crash/ui/delivery/header_words.h"

#include "crash/base/hex.h"
#include "crash/base/utf.h"
#include "crash/ui/delivery/base64.h"

namespace ostrel::delivery {

namespace {

constexpr std::string_view kUtf8Start = "=?UTF-8?B?";
constexpr std::string_view kLatin1Start = "=?ISO-8859-1?Q?";
constexpr std::string_view kWordEnd = "?=";

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// One character: a surrogate pair stays together.
std::size_t CharacterLength(std::u16string_view text, std::size_t at) {
  return at + 1 < text.size() && IsHighSurrogate(text[at]) && IsLowSurrogate(text[at + 1]) ? 2 : 1;
}

std::string Utf8Word(std::string_view bytes) {
  return std::string(kUtf8Start) + EncodeBase64(bytes) + std::string(kWordEnd);
}

bool IsAlphanumeric(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

}  // namespace

bool IsLatin1(std::u16string_view text) {
  for (char16_t c : text)
    if (c > 0xFF) return false;
  return true;
}

bool IsPrintableAscii(std::u16string_view text) {
  for (char16_t c : text)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

std::vector<std::string> Utf8EncodedWords(std::u16string_view text) {
  const std::size_t room = kEncodedWordLimit - kUtf8Start.size() - kWordEnd.size();
  std::vector<std::string> words;
  std::string bytes;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = CharacterLength(text, at);
    const std::string character = Utf16ToUtf8(text.substr(at, length));
    if (!bytes.empty() && Base64Length(bytes.size() + character.size()) > room) {
      words.push_back(Utf8Word(bytes));
      bytes.clear();
    }
    bytes += character;
    at += length;
  }
  if (!bytes.empty() || words.empty()) words.push_back(Utf8Word(bytes));
  return words;
}

std::vector<std::string> Latin1EncodedWords(std::u16string_view text) {
  const std::size_t room = kEncodedWordLimit - kLatin1Start.size() - kWordEnd.size();
  std::vector<std::string> words;
  std::string content;
  auto close = [&] {
    words.push_back(std::string(kLatin1Start) + content + std::string(kWordEnd));
    content.clear();
  };
  for (char16_t c : text) {
    std::string piece;
    if (IsAlphanumeric(c))
      piece = static_cast<char>(c);
    else
      piece = "=" + HexText(c & 0xFF, 2, true);
    if (!content.empty() && content.size() + piece.size() > room) close();
    content += piece;
  }
  if (!content.empty() || words.empty()) close();
  return words;
}

std::string QuotedString(std::u16string_view text) {
  std::string out = "\"";
  for (char16_t c : text) {
    if (c == u'"' || c == u'\\') out += '\\';
    out += static_cast<char>(c);
  }
  return out + "\"";
}

std::string FoldHeader(std::string_view name, const std::vector<std::string>& tokens) {
  std::string out(name);
  out += ':';
  std::size_t line = out.size();
  bool first = true;
  for (const std::string& token : tokens) {
    // The first token stays beside the name however long it is.
    if (!first && line + 1 + token.size() > kHeaderLineLimit) {
      out += "\r\n";
      line = 0;
    }
    out += ' ';
    out += token;
    line += 1 + token.size();
    first = false;
  }
  return out + "\r\n";
}

}  // namespace ostrel::delivery
