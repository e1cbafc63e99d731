// libFuzzer target: the XML reader and the trackers' answers. The first
// byte picks the reader; a document read must write back (escaped) into
// one that reads as the same tree.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "crash/ui/upload/bugzilla_answers.h"
#include "crash/ui/upload/fogbugz_answers.h"
#include "crash/ui/upload/mantis_answers.h"
#include "crash/ui/upload/soap_call.h"
#include "crash/ui/upload/xml_escape.h"
#include "crash/ui/upload/xml_reader.h"
#include "crash/ui/upload/xml_rpc.h"

namespace {

using namespace ostrel::upload;

void Trap(bool ok) {
  if (!ok) __builtin_trap();
}

std::string Written(const XmlElement& e) {
  std::string text = "<" + e.name;
  for (const XmlAttribute& a : e.attributes)
    text += " " + a.name + "=\"" + XmlEscaped(a.value, true) + "\"";
  text += ">" + XmlEscaped(e.text);
  for (const XmlElement& c : e.children) text += Written(c);
  return text + "</" + e.name + ">";
}

bool SameTree(const XmlElement& a, const XmlElement& b) {
  if (a.name != b.name || a.text != b.text || a.attributes.size() != b.attributes.size() ||
      a.children.size() != b.children.size())
    return false;
  for (std::size_t i = 0; i < a.attributes.size(); ++i)
    if (a.attributes[i].name != b.attributes[i].name ||
        a.attributes[i].value != b.attributes[i].value)
      return false;
  for (std::size_t i = 0; i < a.children.size(); ++i)
    if (!SameTree(a.children[i], b.children[i])) return false;
  return true;
}

void FuzzXml(std::string_view text) {
  const XmlDocument d = ReadXml(text);
  Trap(d.ok == d.error.empty());
  if (!d.ok) return;
  const XmlDocument again = ReadXml(Written(d.root));
  Trap(again.ok && SameTree(d.root, again.root));
}

void FuzzBugzilla(std::string_view text) {
  const XmlRpcResponse r = ParseXmlRpcResponse(text);
  if (!r.ok) {
    Trap(!r.error.empty());
    return;
  }
  BugzillaLists lists;
  std::vector<long long> ids;
  long long id = 0;
  BugzillaVersion(r.value);
  BugzillaIds(r.value, ids);
  ReadBugzillaProducts(r.value, lists);
  ReadBugzillaFields(r.value, lists);
  BugzillaNewId(r.value, id);
}

void FuzzMantis(std::string_view text) {
  const SoapResponse r = ParseSoapResponse(text);
  if (!r.ok) {
    Trap(!r.error.empty());
    return;
  }
  TrackerList projects, objects, names;
  ReadMantisProjects(r.returnValue, projects);
  ReadMantisObjects(r.returnValue, objects, u"p");
  ReadMantisNames(r.returnValue, names, u"p");
  for (const ListEntry& e : projects.entries) Trap(!e.id.empty());
}

void FuzzFogBugz(std::string_view text) {
  FogBugzServer server;
  std::string error;
  if (ReadFogBugzApi(text, server, error))
    Trap(server.scriptPath.size() >= 2 && server.scriptPath[0] == '/');
  else
    Trap(!error.empty());
  const FogBugzAnswer a = ReadFogBugzAnswer(text);
  if (!a.ok) {
    Trap(!a.error.empty());
    return;
  }
  FogBugzTexts(a.response, "sProject");
  FogBugzCaseNumber(a.response);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 4) {
    case 0:
      FuzzXml(text);
      break;
    case 1:
      FuzzBugzilla(text);
      break;
    case 2:
      FuzzMantis(text);
      break;
    default:
      FuzzFogBugz(text);
      break;
  }
  return 0;
}
