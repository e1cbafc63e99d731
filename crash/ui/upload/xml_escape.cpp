#include "crash/ui/upload/xml_escape.h"

#include <utility>

#include "crash/base/utf.h"

namespace ostrel::upload {

std::string XmlEscaped(std::string_view utf8, bool attribute) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      case '\'':
        out += attribute ? "&apos;" : "'";
        break;
      case '\t':
        out += attribute ? "&#9;" : "\t";
        break;
      case '\n':
        out += attribute ? "&#10;" : "\n";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20)
          out += "\xEF\xBF\xBD";
        else
          out += c;
    }
  }
  return out;
}

std::string XmlEscaped(std::u16string_view text, bool attribute) {
  return XmlEscaped(std::string_view(Utf16ToUtf8(text)), attribute);
}

std::string DecodeXmlEntities(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&quot;", '"'}, {"&amp;", '&'}, {"&apos;", '\''}, {"&lt;", '<'}, {"&gt;", '>'}};
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& [entity, character] : kEntities) {
        if (text.substr(i).starts_with(entity)) {
          out += character;
          i += entity.size() - 1;
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i];
  }
  return out;
}

}  // namespace ostrel::upload
