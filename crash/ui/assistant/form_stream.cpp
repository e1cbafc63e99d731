#include "crash/ui/assistant/form_stream.h"

#include <cstring>
#include <stdexcept>

#include "crash/base/text_case.h"
#include "crash/base/utf.h"

namespace ostrel::assistant {

namespace {

constexpr char kSignature[] = "TPF0";

class FormReader {
 public:
  FormReader(std::span<const std::uint8_t> data, ParsedForm& out) : data_(data), out_(out) {}

  // False once the reading has stopped; `out_` then says why and where.
  bool Object(FormObject& object, int depth) {
    const std::size_t start = pos_;
    if (depth > kMaxFormDepth) return Stop(FormStop::TooDeep, start);
    std::string className, name;
    if (!ShortText(className) || !ShortText(name)) return Stop(FormStop::Truncated, start);
    object.className = std::move(className);
    object.name = std::move(name);
    return Properties(object) && Children(object, depth);
  }

  std::size_t pos() const { return pos_; }

 private:
  bool Properties(FormObject& object) {
    for (;;) {
      const std::size_t start = pos_;
      if (pos_ >= data_.size()) return Stop(FormStop::Truncated, start);
      if (data_[pos_] == 0) {
        ++pos_;
        return true;
      }
      StreamProperty p;
      if (!ShortText(p.name) || pos_ >= data_.size()) return Stop(FormStop::Truncated, start);
      p.typeByte = data_[pos_++];
      if (!IsKnownStreamType(p.typeByte)) {
        out_.badType = p.typeByte;
        return Stop(FormStop::UnknownType, start);
      }
      if (!ReadStreamValue(data_, pos_, p.typeByte, p)) return Stop(FormStop::Truncated, start);
      object.properties.push_back(std::move(p));
    }
  }

  bool Children(FormObject& object, int depth) {
    for (;;) {
      if (pos_ >= data_.size()) return Stop(FormStop::Truncated, pos_);
      if (data_[pos_] == 0) {
        ++pos_;
        return true;
      }
      // Kept from its header on, so a child that stops inside shows what it
      // had; a stored child always has a class name.
      FormObject& child = object.children.emplace_back();
      if (!Object(child, depth + 1)) {
        if (child.className.empty()) object.children.pop_back();
        return false;
      }
    }
  }

  // A length byte and that many bytes; the position is kept when they do not fit.
  bool ShortText(std::string& text) {
    if (pos_ >= data_.size() || data_.size() - pos_ - 1 < data_[pos_]) return false;
    const std::size_t n = data_[pos_];
    text.assign(reinterpret_cast<const char*>(data_.data() + pos_ + 1), n);
    pos_ += 1 + n;
    return true;
  }

  bool Stop(FormStop stop, std::size_t at) {
    out_.stop = stop;
    out_.stopOffset = at;
    return false;
  }

  std::span<const std::uint8_t> data_;
  ParsedForm& out_;
  std::size_t pos_ = 4;
};

void PutShortText(std::vector<std::uint8_t>& out, const std::string& text, const char* what) {
  if (text.size() > 255)
    throw std::invalid_argument(std::string(what) + " over 255 bytes: " + text.substr(0, 40));
  out.push_back(static_cast<std::uint8_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

void WriteObject(std::vector<std::uint8_t>& out, const FormObject& object, int depth) {
  // Deeper than the reader goes would be a page that never shows.
  if (depth > kMaxFormDepth)
    throw std::invalid_argument("objects nested deeper than " + std::to_string(kMaxFormDepth));
  PutShortText(out, object.className, "class name");
  PutShortText(out, object.name, "object name");
  for (const StreamProperty& p : object.properties) WriteStreamProperty(out, p);
  out.push_back(0);
  for (const FormObject& child : object.children) {
    // The reader takes an empty class name for the end of the children.
    if (child.className.empty())
      throw std::invalid_argument("child object without a class name: " + child.name);
    WriteObject(out, child, depth + 1);
  }
  out.push_back(0);
}

}  // namespace

ParsedForm ReadFormStream(std::span<const std::uint8_t> data) {
  ParsedForm parsed;
  if (data.size() < 4 || std::memcmp(data.data(), kSignature, 4) != 0) {
    parsed.stop = FormStop::NoSignature;
    return parsed;
  }
  FormReader reader(data, parsed);
  if (reader.Object(parsed.root, 0)) parsed.stopOffset = reader.pos();
  return parsed;
}

std::u16string FormStreamErrorText(const ParsedForm& parsed) {
  switch (parsed.stop) {
    case FormStop::UnknownType:
      return u"Internal error: Invalid assistant resource (" +
             AsciiToUtf16(std::to_string(parsed.badType)) + u").";
    case FormStop::Truncated:
      return u"Internal error: Invalid assistant resource (truncated).";
    case FormStop::TooDeep:
      return u"Internal error: Invalid assistant resource (nested too deeply).";
    case FormStop::End:
    case FormStop::NoSignature:
      break;
  }
  return {};
}

std::u16string PropertyText(const StreamProperty& property, const ICodePage& codePage) {
  switch (property.kind) {
    case ValueKind::Integer:
      return AsciiToUtf16(std::to_string(property.integer));
    case ValueKind::Boolean:
      return property.boolean ? u"1" : u"0";
    case ValueKind::String:
      return property.wide ? property.text : codePage.Widen(property.narrow);
  }
  return {};
}

std::vector<std::uint8_t> WriteFormStream(const FormObject& root) {
  std::vector<std::uint8_t> out(kSignature, kSignature + 4);
  WriteObject(out, root, 0);
  return out;
}

std::u16string PageResourceName(std::u16string_view pageName) {
  std::u16string name = u"OAP";
  for (char16_t c : pageName) name.push_back(AsciiUpper(c));
  return name;
}

}  // namespace ostrel::assistant
