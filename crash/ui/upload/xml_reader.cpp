#include "crash/ui/upload/xml_reader.h"

#include <cstdint>

namespace ostrel::upload {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsNameCharacter(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool IsXmlCharacter(char32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  return !(c >= 0xD800 && c <= 0xDFFF) && c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The offset of the first byte that is not part of well-formed UTF-8 of an
// XML character, or npos.
std::size_t FirstBadCharacter(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    int extra = 0;
    char32_t c = 0, min = 0;
    if (b < 0x80)
      extra = 0, c = b;
    else if ((b & 0xE0) == 0xC0)
      extra = 1, c = b & 0x1F, min = 0x80;
    else if ((b & 0xF0) == 0xE0)
      extra = 2, c = b & 0x0F, min = 0x800;
    else if ((b & 0xF8) == 0xF0)
      extra = 3, c = b & 0x07, min = 0x10000;
    else
      return i;
    if (extra > 0 && i + extra >= text.size()) return i;
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return i;
      c = (c << 6) | (next & 0x3F);
    }
    if (c < min || !IsXmlCharacter(c)) return i;
    i += 1 + extra;
  }
  return std::string_view::npos;
}

class Reader {
 public:
  Reader(std::string_view text, const XmlLimits& limits) : text_(text), limits_(limits) {}

  XmlDocument Read();

 private:
  bool Fail(std::string what) {
    if (error_.empty()) error_ = what + " at byte " + std::to_string(pos_);
    return false;
  }
  bool At(std::string_view s) const { return text_.substr(pos_).starts_with(s); }
  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }
  bool SkipPast(std::string_view end, const char* what);
  bool Name(std::string& name);
  bool Decode(std::string_view raw, std::string& out, bool attribute);
  bool Misc(bool& any);
  bool StartTag();
  bool EndTag();
  bool Content();
  // A finished element goes into the open one, or is the root.
  void Close(XmlElement element);

  std::string_view text_;
  const XmlLimits& limits_;
  std::size_t pos_ = 0;
  std::size_t elements_ = 0;
  std::string error_;
  std::vector<XmlElement> open_;  // the elements not yet closed, outermost first
  XmlElement root_;
  bool rootDone_ = false;
};

bool Reader::SkipPast(std::string_view end, const char* what) {
  const std::size_t at = text_.find(end, pos_);
  if (at == std::string_view::npos) return Fail(std::string("unterminated ") + what);
  pos_ = at + end.size();
  return true;
}

bool Reader::Name(std::string& name) {
  const std::size_t start = pos_;
  if (pos_ >= text_.size() || !IsNameStart(text_[pos_])) return Fail("a name was expected");
  while (pos_ < text_.size() && IsNameCharacter(text_[pos_])) ++pos_;
  if (pos_ - start > 1024) return Fail("a name too long");
  name.assign(text_.substr(start, pos_ - start));
  return true;
}

// Character data with its references resolved; line ends as XML reads
// them, and in attributes every blank character as a blank.
bool Reader::Decode(std::string_view raw, std::string& out, bool attribute) {
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '\r') {
      out += attribute ? ' ' : '\n';
      if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
      continue;
    }
    if (attribute && (c == '\t' || c == '\n')) {
      out += ' ';
      continue;
    }
    if (c == '<') return Fail("\"<\" inside a value");
    if (c == ']' && raw.substr(i).starts_with("]]>")) return Fail("\"]]>\" in text");
    if (c != '&') {
      out += c;
      continue;
    }
    const std::size_t semicolon = raw.find(';', i);
    if (semicolon == std::string_view::npos || semicolon - i > 12)
      return Fail("an unterminated reference");
    const std::string_view ref = raw.substr(i + 1, semicolon - i - 1);
    i = semicolon;
    if (ref == "lt")
      out += '<';
    else if (ref == "gt")
      out += '>';
    else if (ref == "amp")
      out += '&';
    else if (ref == "quot")
      out += '"';
    else if (ref == "apos")
      out += '\'';
    else if (ref.size() >= 2 && ref[0] == '#') {
      const bool hex = ref[1] == 'x';
      const std::string_view digits = ref.substr(hex ? 2 : 1);
      if (digits.empty()) return Fail("an empty character reference");
      char32_t value = 0;
      for (char d : digits) {
        int v = -1;
        if (d >= '0' && d <= '9')
          v = d - '0';
        else if (hex && d >= 'a' && d <= 'f')
          v = d - 'a' + 10;
        else if (hex && d >= 'A' && d <= 'F')
          v = d - 'A' + 10;
        if (v < 0) return Fail("a malformed character reference");
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(v);
        if (value > 0x10FFFF) return Fail("a character reference beyond Unicode");
      }
      if (!IsXmlCharacter(value)) return Fail("a reference to a character XML does not allow");
      AppendUtf8(out, value);
    } else {
      return Fail("an entity other than the five predefined ones");
    }
  }
  return true;
}

// Comments, processing instructions and blanks between elements; a
// document type declaration is refused.
bool Reader::Misc(bool& any) {
  any = true;
  if (At("<!--")) {
    pos_ += 4;
    const std::size_t end = text_.find("--", pos_);
    if (end == std::string_view::npos) return Fail("an unterminated comment");
    if (!text_.substr(end).starts_with("-->")) return Fail("\"--\" inside a comment");
    pos_ = end + 3;
    return true;
  }
  if (At("<?")) {
    pos_ += 2;
    std::string target;
    if (!Name(target)) return false;
    if (target.size() == 3 && (target[0] | 32) == 'x' && (target[1] | 32) == 'm' &&
        (target[2] | 32) == 'l')
      return Fail("an XML declaration that is not at the start");
    return SkipPast("?>", "processing instruction");
  }
  if (At("<!")) return Fail("a declaration (DOCTYPE or the like), which is not read");
  any = false;
  return true;
}

bool Reader::StartTag() {
  ++pos_;  // "<"
  if (open_.size() >= limits_.maxDepth) return Fail("elements nested too deeply");
  if (++elements_ > limits_.maxElements) return Fail("too many elements");
  XmlElement element;
  if (!Name(element.name)) return false;
  for (;;) {
    const std::size_t before = pos_;
    SkipBlanks();
    if (pos_ >= text_.size()) return Fail("an unterminated start tag");
    if (At("/>") || At(">")) break;
    if (pos_ == before) return Fail("a blank was expected between attributes");
    XmlAttribute attribute;
    if (!Name(attribute.name)) return false;
    for (const XmlAttribute& a : element.attributes)
      if (a.name == attribute.name) return Fail("a repeated attribute");
    if (element.attributes.size() >= limits_.maxAttributes) return Fail("too many attributes");
    SkipBlanks();
    if (!At("=")) return Fail("\"=\" was expected");
    ++pos_;
    SkipBlanks();
    if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\''))
      return Fail("a quoted value was expected");
    const char quote = text_[pos_++];
    const std::size_t end = text_.find(quote, pos_);
    if (end == std::string_view::npos) return Fail("an unterminated attribute value");
    if (!Decode(text_.substr(pos_, end - pos_), attribute.value, true)) return false;
    pos_ = end + 1;
    element.attributes.push_back(std::move(attribute));
  }
  if (At("/>")) {
    pos_ += 2;
    Close(std::move(element));
    return true;
  }
  ++pos_;  // ">"
  open_.push_back(std::move(element));
  return true;
}

bool Reader::EndTag() {
  pos_ += 2;  // "</"
  std::string name;
  if (!Name(name)) return false;
  SkipBlanks();
  if (!At(">")) return Fail("an unterminated end tag");
  ++pos_;
  if (open_.empty() || open_.back().name != name)
    return Fail("an end tag that closes nothing open");
  XmlElement done = std::move(open_.back());
  open_.pop_back();
  Close(std::move(done));
  return true;
}

void Reader::Close(XmlElement element) {
  if (open_.empty()) {
    root_ = std::move(element);
    rootDone_ = true;
  } else {
    open_.back().children.push_back(std::move(element));
  }
}

// Inside the root: text, child elements, comments and CDATA sections.
bool Reader::Content() {
  while (!open_.empty()) {
    const std::size_t lt = text_.find('<', pos_);
    if (lt == std::string_view::npos) return Fail("the document ends inside an element");
    if (!Decode(text_.substr(pos_, lt - pos_), open_.back().text, false)) return false;
    pos_ = lt;
    if (At("</")) {
      if (!EndTag()) return false;
    } else if (At("<![CDATA[")) {
      pos_ += 9;
      const std::size_t end = text_.find("]]>", pos_);
      if (end == std::string_view::npos) return Fail("an unterminated CDATA section");
      std::string_view data = text_.substr(pos_, end - pos_);
      for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '\r') {
          open_.back().text += '\n';
          if (i + 1 < data.size() && data[i + 1] == '\n') ++i;
        } else {
          open_.back().text += data[i];
        }
      }
      pos_ = end + 3;
    } else {
      bool any = false;
      if (!Misc(any)) return false;
      if (!any && !StartTag()) return false;
    }
  }
  return true;
}

XmlDocument Reader::Read() {
  XmlDocument document;
  if (text_.size() > limits_.maxInput) {
    document.error = "the document is too large";
    return document;
  }
  if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
  if (const std::size_t bad = FirstBadCharacter(text_); bad != std::string_view::npos) {
    document.error = "not UTF-8 of XML characters at byte " + std::to_string(bad);
    return document;
  }
  bool ok = true;
  if (At("<?xml") && pos_ + 5 < text_.size() && IsBlank(text_[pos_ + 5]))
    ok = SkipPast("?>", "XML declaration");
  while (ok && !rootDone_) {
    SkipBlanks();
    if (pos_ >= text_.size()) {
      ok = Fail("no element");
      break;
    }
    bool any = false;
    ok = Misc(any);
    if (!ok || any) continue;
    if (text_[pos_] != '<') {
      ok = Fail("text outside the element");
      break;
    }
    ok = StartTag() && Content();
  }
  while (ok && pos_ < text_.size()) {
    SkipBlanks();
    if (pos_ >= text_.size()) break;
    bool any = false;
    if (!(ok = Misc(any))) break;
    if (!any) ok = Fail(At("<") ? "a second root element" : "text after the element");
  }
  if (!ok) {
    document.error = error_;
    return document;
  }
  document.ok = true;
  document.root = std::move(root_);
  return document;
}

}  // namespace

std::string_view XmlElement::LocalName() const {
  const std::size_t colon = name.rfind(':');
  return colon == std::string::npos ? std::string_view(name)
                                    : std::string_view(name).substr(colon + 1);
}

const std::string* XmlElement::Attribute(std::string_view attributeName) const {
  for (const XmlAttribute& a : attributes)
    if (a.name == attributeName) return &a.value;
  return nullptr;
}

const XmlElement* XmlElement::Child(std::string_view localName) const {
  for (const XmlElement& c : children)
    if (c.LocalName() == localName) return &c;
  return nullptr;
}

const XmlElement* XmlElement::Find(std::string_view localName) const {
  const std::vector<const XmlElement*> all = FindAll(localName);
  return all.empty() ? nullptr : all.front();
}

std::vector<const XmlElement*> XmlElement::FindAll(std::string_view localName) const {
  // Depth first, in document order, with a stack of its own.
  std::vector<const XmlElement*> found;
  std::vector<const XmlElement*> todo{this};
  while (!todo.empty()) {
    const XmlElement* e = todo.back();
    todo.pop_back();
    if (e->LocalName() == localName) found.push_back(e);
    for (auto c = e->children.rbegin(); c != e->children.rend(); ++c) todo.push_back(&*c);
  }
  return found;
}

XmlDocument ReadXml(std::string_view text, const XmlLimits& limits) {
  return Reader(text, limits).Read();
}

bool ReadAnswerXml(std::string_view body, XmlDocument& document, std::string& error) {
  document = ReadXml(body);
  if (document.ok) return true;
  error = "the answer is not XML: " + document.error;
  return false;
}

}  // namespace ostrel::upload
