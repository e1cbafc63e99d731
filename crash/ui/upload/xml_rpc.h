#pragma once
// XML-RPC as Bugzilla speaks it: a call with one struct of members, and the
// answer's value or fault.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrel::upload {

class XmlRpcCall {
 public:
  explicit XmlRpcCall(std::string method) : method_(std::move(method)) {}

  // Each member is written only when its value is not empty. Every value is
  // escaped: a report's "<admin>" or "&" stays text and keeps the call XML.
  XmlRpcCall& String(std::string_view name, std::u16string_view value);
  XmlRpcCall& Int(std::string_view name, long long value);
  XmlRpcCall& StringArray(std::string_view name, const std::vector<std::u16string>& values);
  XmlRpcCall& IntArray(std::string_view name, const std::vector<long long>& values);
  // A file, as the last member.
  XmlRpcCall& Base64(std::string_view name, std::string_view bytes);

  // The XML declaration and the methodCall.
  std::string Body() const;
  const std::string& Method() const { return method_; }

 private:
  void Member(std::string_view name, const std::string& typedValue);
  std::string method_;
  std::string members_;
};

struct XmlRpcMember;

struct XmlRpcValue {
  enum class Kind { String, Int, Boolean, Double, DateTime, Base64, Nil, Array, Struct };
  Kind kind = Kind::String;
  std::string text;      // a scalar as written (strings decoded, UTF-8)
  long long number = 0;  // Int and Boolean
  std::vector<XmlRpcValue> items;
  std::vector<XmlRpcMember> members;

  const XmlRpcValue* Member(std::string_view name) const;
};

struct XmlRpcMember {
  std::string name;
  XmlRpcValue value;
};

struct XmlRpcResponse {
  bool ok = false;
  std::string error;  // the fault's faultString, or what was wrong with the answer
  XmlRpcValue value;  // of methodResponse/params/param/value
};

XmlRpcResponse ParseXmlRpcResponse(std::string_view body);

}  // namespace ostrel::upload
