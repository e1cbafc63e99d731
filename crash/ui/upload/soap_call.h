#pragma once
// SOAP 1.1 with RPC encoding as MantisConnect speaks it: a method element
// with typed parameters, multi-reference elements after it, and the
// answer's "return" or fault.
#include <string>
#include <string_view>
#include <utility>

#include "crash/ui/upload/xml_reader.h"

namespace ostrel::upload {

// MantisConnect's namespace, for the method (ns1) and its types (ns2).
inline constexpr char kMantisNamespace[] = "http://futureware.biz/mantisconnect";

class SoapCall {
 public:
  explicit SoapCall(std::string method) : method_(std::move(method)) {}

  // "username" and "password", each xsd:string.
  SoapCall& Credentials(std::u16string_view account, std::u16string_view password);
  // <name xsi:type="type">escaped value</name>; every value is escaped.
  SoapCall& Typed(std::string_view name, std::string_view type, std::string_view utf8);
  SoapCall& String(std::string_view name, std::u16string_view value);
  SoapCall& Integer(std::string_view name, std::u16string_view number);  // xsd:integer
  SoapCall& Long(std::string_view name, std::u16string_view number);     // xsd:long
  SoapCall& Base64(std::string_view name, std::string_view bytes);       // xsd:base64Binary
  // <name href="#id"/> inside the method element.
  SoapCall& Reference(std::string_view name, int id);
  // An element after the method element: <element id="id" xsi:type="type">
  // with content written by the caller (escaped already).
  SoapCall& MultiReference(std::string_view element, int id, std::string_view type,
                           const std::string& content);

  // The XML declaration and the whole envelope.
  std::string Body() const;
  const std::string& Method() const { return method_; }

 private:
  std::string method_;
  std::string parameters_;
  std::string references_;
};

// A typed element's text for MultiReference content.
std::string SoapElement(std::string_view name, std::string_view type, std::u16string_view value);

struct SoapResponse {
  bool ok = false;
  std::string error;       // the faultstring, or what was wrong with the answer
  XmlElement returnValue;  // the "return" element
};

SoapResponse ParseSoapResponse(std::string_view body);

}  // namespace ostrel::upload
