#include "crash/ui/upload/fogbugz_answers.h"

#include <charconv>

#include "crash/base/utf.h"
#include "crash/ui/upload/form_text.h"

namespace ostrel::upload {

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\n' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

bool ReadFogBugzApi(std::string_view body, FogBugzServer& server, std::string& error) {
  const XmlDocument document = ReadXml(body);
  if (!document.ok) {
    error = "api.xml is not XML: " + document.error;
    return false;
  }
  const XmlElement* minVersion = document.root.Find("minversion");
  const XmlElement* url = document.root.Find("url");
  if (minVersion == nullptr || url == nullptr) {
    error = "api.xml names no minversion or url: not a FogBugz server";
    return false;
  }
  const std::string_view number = Trimmed(minVersion->text);
  double value = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (number.empty() || ec != std::errc() || end != number.data() + number.size()) {
    error = "api.xml's minversion is not a number";
    return false;
  }
  if (!(value < 9)) {
    error = "the FogBugz API is too new (minversion " + std::string(number) + ")";
    return false;
  }
  const std::string_view script = Trimmed(url->text);
  if (script.size() < 2) {
    error = "api.xml's url names no script";
    return false;
  }
  for (char c : script) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '#' || c == 0x7f) {
      error = "api.xml's url holds a character no address has";
      return false;
    }
  }
  if (const XmlElement* version = document.root.Find("version")) server.version = version->text;
  server.scriptPath = "/" + std::string(script.substr(0, script.size() - 1));
  return true;
}

std::string FogBugzCommand(std::string_view scriptPath, std::string_view command,
                           const FogBugzArguments& arguments) {
  std::string target = std::string(scriptPath) + "?cmd=" + std::string(command);
  for (const auto& [name, value] : arguments) target += "&" + name + "=" + PercentEncoded(value);
  return target;
}

FogBugzAnswer ReadFogBugzAnswer(std::string_view body) {
  FogBugzAnswer answer;
  XmlDocument document;
  if (!ReadAnswerXml(body, document, answer.error)) return answer;
  if (const XmlElement* error = document.root.Find("error")) {
    const std::string* code = error->Attribute("code");
    answer.error = !error->text.empty() ? error->text
                   : code != nullptr    ? "FogBugz error " + *code
                                        : "FogBugz error";
    return answer;
  }
  if (document.root.LocalName() != "response") {
    answer.error = "the answer has no response element";
    return answer;
  }
  answer.ok = true;
  answer.response = std::move(document.root);
  return answer;
}

std::vector<std::u16string> FogBugzTexts(const XmlElement& response, std::string_view name) {
  std::vector<std::u16string> texts;
  for (const XmlElement* e : response.FindAll(name)) texts.push_back(Utf8ToUtf16(e->text));
  return texts;
}

std::u16string FogBugzCaseNumber(const XmlElement& response) {
  for (const XmlElement* c : response.FindAll("case"))
    if (const std::string* number = c->Attribute("ixBug"); number != nullptr && !number->empty())
      return Utf8ToUtf16(*number);
  return {};
}

}  // namespace ostrel::upload
