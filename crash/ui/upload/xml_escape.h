#pragma once
// Values written into XML requests, and the entities of a kept response.
#include <string>
#include <string_view>

namespace ostrel::upload {

// UTF-8 as XML character data: "&", "<" and ">" as references, a carriage
// return as "&#13;" so that a reader keeps CR LF line ends, and in an
// attribute also both quotation marks, tabs and line feeds. Characters XML
// cannot carry at all (other control characters) become U+FFFD.
std::string XmlEscaped(std::string_view utf8, bool attribute = false);
std::string XmlEscaped(std::u16string_view text, bool attribute = false);

// "&quot;", "&amp;", "&apos;", "&lt;" and "&gt;" replaced by their
// characters, in one pass (so "&amp;lt;" gives "&lt;").
std::string DecodeXmlEntities(std::string_view text);

}  // namespace ostrel::upload
