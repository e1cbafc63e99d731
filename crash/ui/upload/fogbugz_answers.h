#pragma once
// FogBugz's XML API: the command addresses and what its answers mean.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "crash/ui/upload/tracker_lists.h"
#include "crash/ui/upload/xml_reader.h"

namespace ostrel::upload {

struct FogBugzServer {
  std::string version;     // the "version" element
  std::string scriptPath;  // "/" + the "url" element without its last character
};

// The answer to GET api.xml: usable when "minversion" is a number below 9
// and "url" names a script. False with the reason otherwise.
bool ReadFogBugzApi(std::string_view body, FogBugzServer& server, std::string& error);

using FogBugzArguments = std::vector<std::pair<std::string, std::u16string>>;

// script path + "?cmd=" + command + "&name=value" for each argument, the
// values percent-encoded UTF-8.
std::string FogBugzCommand(std::string_view scriptPath, std::string_view command,
                           const FogBugzArguments& arguments);

// A command's answer: its "response" element, or the "error" element's
// text as the error.
struct FogBugzAnswer {
  bool ok = false;
  std::string error;
  XmlElement response;
};
FogBugzAnswer ReadFogBugzAnswer(std::string_view body);

// The texts of every element of that name in the answer, in order.
std::vector<std::u16string> FogBugzTexts(const XmlElement& response, std::string_view name);

// The new case's number from the answer to "new": the ixBug attribute of
// its "case" element; empty when there is none.
std::u16string FogBugzCaseNumber(const XmlElement& response);

}  // namespace ostrel::upload
