#include "crash/ui/upload/soap_call.h"

#include "crash/base/utf.h"
#include "crash/ui/delivery/base64.h"
#include "crash/ui/upload/xml_escape.h"

namespace ostrel::upload {

SoapCall& SoapCall::Credentials(std::u16string_view account, std::u16string_view password) {
  return Typed("username", "xsd:string", Utf16ToUtf8(account))
      .Typed("password", "xsd:string", Utf16ToUtf8(password));
}

SoapCall& SoapCall::Typed(std::string_view name, std::string_view type, std::string_view utf8) {
  const std::string tag = XmlEscaped(name);
  parameters_ += "<" + tag + " xsi:type=\"" + XmlEscaped(type, true) + "\">" + XmlEscaped(utf8) +
                 "</" + tag + ">";
  return *this;
}

SoapCall& SoapCall::String(std::string_view name, std::u16string_view value) {
  return Typed(name, "xsd:string", Utf16ToUtf8(value));
}

SoapCall& SoapCall::Integer(std::string_view name, std::u16string_view number) {
  return Typed(name, "xsd:integer", Utf16ToUtf8(number));
}

SoapCall& SoapCall::Long(std::string_view name, std::u16string_view number) {
  return Typed(name, "xsd:long", Utf16ToUtf8(number));
}

SoapCall& SoapCall::Base64(std::string_view name, std::string_view bytes) {
  return Typed(name, "xsd:base64Binary", delivery::EncodeBase64(bytes));
}

SoapCall& SoapCall::Reference(std::string_view name, int id) {
  parameters_ += "<" + XmlEscaped(name) + " href=\"#" + std::to_string(id) + "\"/>";
  return *this;
}

SoapCall& SoapCall::MultiReference(std::string_view element, int id, std::string_view type,
                                   const std::string& content) {
  const std::string tag = XmlEscaped(element);
  references_ += "<" + tag + " id=\"" + std::to_string(id) + "\" xsi:type=\"" +
                 XmlEscaped(type, true) + "\">" + content + "</" + tag + ">";
  return *this;
}

std::string SoapCall::Body() const {
  // Every prefix the body uses is declared, so that any namespace-aware
  // reader takes it.
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") +
         "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\"" +
         " xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\"" +
         " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"" +
         " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"" + " xmlns:ns2=\"" +
         kMantisNamespace + "\"" +
         " SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">" +
         "<SOAP-ENV:Body><ns1:" + XmlEscaped(method_) + " xmlns:ns1=\"" + kMantisNamespace + "\">" +
         parameters_ + "</ns1:" + XmlEscaped(method_) + ">" + references_ +
         "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

std::string SoapElement(std::string_view name, std::string_view type, std::u16string_view value) {
  const std::string tag = XmlEscaped(name);
  return "<" + tag + " xsi:type=\"" + XmlEscaped(type, true) + "\">" + XmlEscaped(value) + "</" +
         tag + ">";
}

SoapResponse ParseSoapResponse(std::string_view body) {
  SoapResponse response;
  XmlDocument document;
  if (!ReadAnswerXml(body, document, response.error)) return response;
  if (const XmlElement* returned = document.root.Find("return")) {
    response.ok = true;
    response.returnValue = *returned;
    return response;
  }
  const XmlElement* fault = document.root.Find("faultstring");
  response.error = fault != nullptr && !fault->text.empty()
                       ? fault->text
                       : "the answer has neither return nor fault";
  return response;
}

}  // namespace ostrel::upload
