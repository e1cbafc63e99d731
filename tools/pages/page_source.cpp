#include "tools/pages/page_source.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <vector>

#include "crash/base/text_case.h"
#include "crash/base/utf.h"

namespace ostrel::assistant {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
// Bytes of UTF-8 sequences: names may carry letters beyond ASCII.
bool IsHigh(char c) { return static_cast<unsigned char>(c) >= 0x80; }

bool ValidUtf8(std::string_view s) { return Utf16ToUtf8(Utf8ToUtf16(s)) == s; }

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (IsHigh(c)) return false;
  return true;
}

// Identifiers: a letter, '_' or non-ASCII letter first, then those, digits
// and dots ("Font.Name").
bool IsIdentifier(std::string_view s) {
  if (s.empty() || !(IsLetter(s[0]) || IsHigh(s[0]))) return false;
  for (char c : s)
    if (!IsLetter(c) && !IsDigit(c) && !IsHigh(c) && c != '.') return false;
  return ValidUtf8(s);
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsSpace(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsSpace(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The leading identifier-like word of `rest`, which moves past it.
std::string_view TakeWord(std::string_view& rest) {
  std::size_t n = 0;
  while (n < rest.size() &&
         (IsLetter(rest[n]) || IsDigit(rest[n]) || IsHigh(rest[n]) || rest[n] == '.'))
    ++n;
  const std::string_view word = rest.substr(0, n);
  rest.remove_prefix(n);
  return word;
}

struct OpenObject {
  FormObject object;
  int line = 0;
};

class Parser {
 public:
  FormObject Parse(std::string_view source) {
    if (source.substr(0, 3) == "\xEF\xBB\xBF") source.remove_prefix(3);
    for (std::size_t start = 0; start < source.size();) {
      const std::size_t nl = std::min(source.find('\n', start), source.size());
      ++line_;
      Line(source.substr(start, nl - start));
      start = nl + 1;
    }
    if (!open_.empty())
      throw PageSourceError(open_.back().line,
                            "object " + open_.back().object.name + " has no 'end'");
    if (!root_) throw PageSourceError(std::max(line_, 1), "the source has no object");
    return std::move(*root_);
  }

 private:
  void Line(std::string_view raw) {
    if (!ValidUtf8(raw)) Fail("the line is not valid UTF-8");
    const std::string_view text = Trim(raw);
    if (text.empty() || text[0] == '#') return;
    if (root_) Fail("text after the final 'end'");
    std::string_view rest = text;
    const std::string_view word = TakeWord(rest);
    const std::string_view after = Trim(rest);
    // A property may be called "end" or "object" too.
    if (!after.empty() && after[0] == '=') return Property(text);
    if (EqualsNoCase(word, "end") && after.empty()) return End();
    if (EqualsNoCase(word, "object") && !rest.empty() && IsSpace(rest[0])) return Object(rest);
    Property(text);
  }

  void Object(std::string_view rest) {
    rest = Trim(rest);
    std::string_view first = TakeWord(rest);
    rest = Trim(rest);
    std::string_view name, className = first;
    // "object Name: Class", or "object Class" for an object without a name.
    if (!rest.empty() && rest[0] == ':') {
      rest = Trim(rest.substr(1));
      name = first;
      className = TakeWord(rest);
    }
    if (!rest.empty()) Fail("expected 'object Name: Class'");
    if (!name.empty()) CheckName(name, "object name");
    CheckName(className, "class name");
    // The reader would stop at it.
    if (open_.size() > static_cast<std::size_t>(kMaxFormDepth))
      Fail("objects nested deeper than " + std::to_string(kMaxFormDepth));
    OpenObject o;
    o.object.className = std::string(className);
    o.object.name = std::string(name);
    o.line = line_;
    open_.push_back(std::move(o));
  }

  void End() {
    if (open_.empty()) Fail("'end' without an object");
    FormObject done = std::move(open_.back().object);
    open_.pop_back();
    if (open_.empty())
      root_ = std::move(done);
    else
      open_.back().object.children.push_back(std::move(done));
  }

  void Property(std::string_view text) {
    std::string_view rest = text;
    const std::string_view name = TakeWord(rest);
    rest = Trim(rest);
    if (name.empty() || rest.empty() || rest[0] != '=')
      Fail("expected 'Name = value', 'object Name: Class' or 'end'");
    CheckName(name, "property name");
    if (open_.empty()) Fail("property outside an object");
    FormObject& object = open_.back().object;
    if (!object.children.empty()) Fail("properties come before the child objects");
    StreamProperty p = Value(Trim(rest.substr(1)));
    p.name = std::string(name);
    object.properties.push_back(std::move(p));
  }

  StreamProperty Value(std::string_view v) {
    using namespace stream_type;
    StreamProperty p;
    if (v.empty()) Fail("missing value");
    if (v[0] == '\'') return Text(v);
    if (v[0] == '-' || IsDigit(v[0])) {
      const bool negative = v[0] == '-';
      const std::string_view digits = v.substr(negative ? 1 : 0);
      if (digits.empty()) Fail("bad value '" + std::string(v) + "'");
      for (char c : digits)
        if (!IsDigit(c)) Fail("bad value '" + std::string(v) + "'");
      std::int32_t value = 0;
      const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
      if (ec != std::errc() || end != v.data() + v.size())
        Fail("integer out of range: " + std::string(v));
      p.kind = ValueKind::Integer;
      p.integer = value;
      p.typeByte = value >= -128 && value <= 127       ? kInt8
                   : value >= -32768 && value <= 32767 ? kInt16
                                                       : kInt32;
      return p;
    }
    if (EqualsNoCase(v, "true") || EqualsNoCase(v, "false")) {
      p.kind = ValueKind::Boolean;
      p.boolean = EqualsNoCase(v, "true");
      p.typeByte = p.boolean ? kTrue : kFalse;
      return p;
    }
    if (!IsIdentifier(v)) Fail("bad value '" + std::string(v) + "'");
    if (v.size() > 255) Fail("identifier longer than 255 bytes");
    p.kind = ValueKind::String;
    p.wide = true;
    p.text = Utf8ToUtf16(v);
    p.typeByte = kUtf8;
    return p;
  }

  StreamProperty Text(std::string_view v) {
    using namespace stream_type;
    std::string bytes;
    std::size_t i = 1;
    for (;;) {
      if (i >= v.size()) Fail("unterminated string");
      if (v[i] == '\'') {
        if (i + 1 < v.size() && v[i + 1] == '\'') {
          bytes.push_back('\'');
          i += 2;
          continue;
        }
        break;
      }
      // A lone carriage return would not survive the way back to a source.
      if (v[i] == '\r') Fail("a line break inside a text (the engine reads %LF% as one)");
      bytes.push_back(v[i++]);
    }
    if (i + 1 != v.size()) Fail("text after the value");
    StreamProperty p;
    p.kind = ValueKind::String;
    if (IsAscii(bytes)) {
      p.typeByte = bytes.size() < 256 ? kString : kLString;
      p.narrow = std::move(bytes);
    } else {
      p.typeByte = kUtf8LString;
      p.wide = true;
      p.text = Utf8ToUtf16(bytes);
    }
    return p;
  }

  void CheckName(std::string_view name, const char* what) {
    if (!IsIdentifier(name)) Fail(std::string("bad ") + what + " '" + std::string(name) + "'");
    if (name.size() > 255) Fail(std::string(what) + " longer than 255 bytes");
  }

  [[noreturn]] void Fail(const std::string& message) { throw PageSourceError(line_, message); }

  std::vector<OpenObject> open_;
  std::optional<FormObject> root_;
  int line_ = 0;
};

std::string NameText(const std::string& name) {
  if (!IsIdentifier(name) || name.size() > 255)
    throw std::invalid_argument("the name '" + name + "' cannot be written in a page source");
  return name;
}

std::string ValueText(const StreamProperty& p, const ICodePage& codePage) {
  switch (p.kind) {
    case ValueKind::Integer:
      return std::to_string(p.integer);
    case ValueKind::Boolean:
      return p.boolean ? "True" : "False";
    case ValueKind::String:
      break;
  }
  const std::string text = Utf16ToUtf8(p.wide ? p.text : codePage.Widen(p.narrow));
  if (p.typeByte == stream_type::kUtf8 && text.size() <= 255 && IsIdentifier(text) &&
      !EqualsNoCase(text, "true") && !EqualsNoCase(text, "false"))
    return text;
  if (text.find_first_of("\r\n") != std::string::npos)
    throw std::invalid_argument("the text of " + p.name +
                                " has a line break, which a page source cannot hold");
  std::string quoted = "'";
  for (char c : text) {
    quoted.push_back(c);
    if (c == '\'') quoted.push_back('\'');
  }
  return quoted + "'";
}

void WriteObject(std::string& out, const FormObject& object, int depth, const ICodePage& codePage) {
  const std::string indent(2 * static_cast<std::size_t>(depth), ' ');
  out += indent + "object ";
  if (!object.name.empty()) out += NameText(object.name) + ": ";
  out += NameText(object.className) + "\n";
  for (const StreamProperty& p : object.properties)
    out += indent + "  " + NameText(p.name) + " = " + ValueText(p, codePage) + "\n";
  for (const FormObject& child : object.children) WriteObject(out, child, depth + 1, codePage);
  out += indent + "end\n";
}

}  // namespace

FormObject ParsePageSource(std::string_view source) { return Parser().Parse(source); }

std::string WritePageSource(const FormObject& root, const ICodePage& codePage) {
  std::string out;
  WriteObject(out, root, 0, codePage);
  return out;
}

bool IsPageName(std::string_view name) {
  if (name.empty() || IsDigit(name[0])) return false;
  for (char c : name)
    if (!IsLetter(c) && !IsDigit(c)) return false;
  return true;
}

}  // namespace ostrel::assistant
