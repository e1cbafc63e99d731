#include "crash/ui/upload/xml_rpc.h"

#include <charconv>
#include <utility>

#include "crash/ui/delivery/base64.h"
#include "crash/ui/upload/xml_escape.h"
#include "crash/ui/upload/xml_reader.h"

namespace ostrel::upload {

void XmlRpcCall::Member(std::string_view name, const std::string& typedValue) {
  members_ +=
      "<member><name>" + XmlEscaped(name) + "</name><value>" + typedValue + "</value></member>";
}

XmlRpcCall& XmlRpcCall::String(std::string_view name, std::u16string_view value) {
  if (!value.empty()) Member(name, "<string>" + XmlEscaped(value) + "</string>");
  return *this;
}

XmlRpcCall& XmlRpcCall::Int(std::string_view name, long long value) {
  Member(name, "<int>" + std::to_string(value) + "</int>");
  return *this;
}

XmlRpcCall& XmlRpcCall::StringArray(std::string_view name,
                                    const std::vector<std::u16string>& values) {
  if (values.empty()) return *this;
  std::string items;
  for (const std::u16string& v : values)
    items += "<value><string>" + XmlEscaped(v) + "</string></value>";
  Member(name, "<array><data>" + items + "</data></array>");
  return *this;
}

XmlRpcCall& XmlRpcCall::IntArray(std::string_view name, const std::vector<long long>& values) {
  if (values.empty()) return *this;
  std::string items;
  for (long long v : values) items += "<value><int>" + std::to_string(v) + "</int></value>";
  Member(name, "<array><data>" + items + "</data></array>");
  return *this;
}

XmlRpcCall& XmlRpcCall::Base64(std::string_view name, std::string_view bytes) {
  if (!bytes.empty()) Member(name, "<base64>" + delivery::EncodeBase64(bytes) + "</base64>");
  return *this;
}

std::string XmlRpcCall::Body() const {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><methodCall><methodName>" +
         XmlEscaped(method_) + "</methodName><params><param><value><struct>" + members_ +
         "</struct></value></param></params></methodCall>";
}

const XmlRpcValue* XmlRpcValue::Member(std::string_view name) const {
  for (const XmlRpcMember& m : members)
    if (m.name == name) return &m.value;
  return nullptr;
}

namespace {

bool ReadValue(const XmlElement& value, XmlRpcValue& out, std::string& error);

bool Wrong(std::string& error, std::string what) {
  error = std::move(what);
  return false;
}

bool ReadInteger(const std::string& text, long long& number) {
  std::string_view digits(text);
  while (!digits.empty() && (digits.front() == ' ' || digits.front() == '\n'))
    digits.remove_prefix(1);
  while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\n'))
    digits.remove_suffix(1);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  return !digits.empty() && ec == std::errc() && end == digits.data() + digits.size();
}

bool ReadTyped(const XmlElement& typed, XmlRpcValue& out, std::string& error) {
  const std::string_view type = typed.LocalName();
  out.text = typed.text;
  if (type == "string") return true;
  if (type == "int" || type == "i4" || type == "i8") {
    out.kind = XmlRpcValue::Kind::Int;
    if (!ReadInteger(typed.text, out.number)) return Wrong(error, "an int that is not a number");
    return true;
  }
  if (type == "boolean") {
    out.kind = XmlRpcValue::Kind::Boolean;
    if (typed.text != "0" && typed.text != "1") return Wrong(error, "a boolean neither 0 nor 1");
    out.number = typed.text == "1";
    return true;
  }
  // Scalars the trackers' answers only carry along, kept as written.
  static constexpr std::pair<std::string_view, XmlRpcValue::Kind> kKept[] = {
      {"double", XmlRpcValue::Kind::Double},
      {"dateTime.iso8601", XmlRpcValue::Kind::DateTime},
      {"base64", XmlRpcValue::Kind::Base64},
      {"nil", XmlRpcValue::Kind::Nil}};
  for (const auto& [name, kind] : kKept) {
    if (type == name) {
      out.kind = kind;
      return true;
    }
  }
  if (type == "array") {
    out.kind = XmlRpcValue::Kind::Array;
    const XmlElement* data = typed.Child("data");
    if (data == nullptr) return Wrong(error, "an array without data");
    for (const XmlElement& item : data->children) {
      if (item.LocalName() != "value") return Wrong(error, "an array item that is not a value");
      out.items.emplace_back();
      if (!ReadValue(item, out.items.back(), error)) return false;
    }
    return true;
  }
  if (type == "struct") {
    out.kind = XmlRpcValue::Kind::Struct;
    for (const XmlElement& member : typed.children) {
      const XmlElement* name = member.Child("name");
      const XmlElement* value = member.Child("value");
      if (member.LocalName() != "member" || name == nullptr || value == nullptr)
        return Wrong(error, "a struct member without name or value");
      out.members.push_back(XmlRpcMember{name->text, {}});
      if (!ReadValue(*value, out.members.back().value, error)) return false;
    }
    return true;
  }
  return Wrong(error, "a value of unknown type \"" + std::string(type) + "\"");
}

// A value without a type element is a string.
bool ReadValue(const XmlElement& value, XmlRpcValue& out, std::string& error) {
  if (value.children.empty()) {
    out.text = value.text;
    return true;
  }
  if (value.children.size() > 1) return Wrong(error, "a value with more than one type");
  return ReadTyped(value.children.front(), out, error);
}

}  // namespace

XmlRpcResponse ParseXmlRpcResponse(std::string_view body) {
  XmlRpcResponse response;
  XmlDocument document;
  if (!ReadAnswerXml(body, document, response.error)) return response;
  const XmlElement& root = document.root;
  if (root.LocalName() != "methodResponse") {
    response.error = "the answer is no methodResponse";
    return response;
  }
  const XmlElement* params = root.Child("params");
  const XmlElement* param = params ? params->Child("param") : nullptr;
  if (const XmlElement* value = param ? param->Child("value") : nullptr) {
    std::string error;
    if (!ReadValue(*value, response.value, error)) {
      response.error = "malformed answer: " + error;
      return response;
    }
    response.ok = true;
    return response;
  }
  const XmlElement* fault = root.Child("fault");
  XmlRpcValue faultValue;
  std::string error;
  if (fault == nullptr || fault->Child("value") == nullptr ||
      !ReadValue(*fault->Child("value"), faultValue, error)) {
    response.error = "the answer has neither a value nor a fault";
    return response;
  }
  const XmlRpcValue* text = faultValue.Member("faultString");
  response.error = text != nullptr && !text->text.empty() ? text->text : "a fault without text";
  return response;
}

}  // namespace ostrel::upload
