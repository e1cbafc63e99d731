#include "crash/ui/upload/mantis_submission.h"

#include <stdexcept>

#include "crash/base/utf.h"
#include "crash/ui/delivery/mime_type.h"
#include "crash/ui/upload/mantis_answers.h"
#include "crash/ui/upload/tracker_session.h"
#include "crash/ui/upload/upload_memory.h"

namespace ostrel::upload {

namespace {

class MantisSession : public TrackerSession {
 public:
  using TrackerSession::TrackerSession;

  bool Run(const SoapCall& call, XmlElement& returned) {
    const std::string& method = call.Method();
    HttpResult answer = http_.Post(http_.Server().Target("/api/soap/mantisconnect.php/" + method),
                                   "text/xml", call.Body());
    SoapResponse read = ParseSoapResponse(answer.body);
    // A SOAP fault comes with status 500: its text says more than the status.
    if (!answer.ok)
      return Failed(read.error.empty() || answer.status != 500 ? answer.error
                                                               : method + ": " + read.error);
    if (!read.ok) return Failed(method + ": " + read.error);
    returned = std::move(read.returnValue);
    return true;
  }
};

SoapCall Call(std::string method, const TrackerAccount& account) {
  SoapCall call(std::move(method));
  call.Credentials(account.account, account.password);
  return call;
}

bool IsNumber(std::string_view text) {
  if (text.empty() || text.size() > 18) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The projects, the developer level, each project's categories, versions
// and users, then the priorities and severities.
bool ReadLists(MantisSession& session, const TrackerAccount& account, MantisLists& lists,
               IUploadProgress& progress) {
  XmlElement r;
  if (!session.Run(Call("mc_projects_get_user_accessible", account), r)) return false;
  ReadMantisProjects(r, lists.projects);
  // The position runs from 50 to 950 over the requests still to come.
  const std::size_t total = 3 + 3 * lists.projects.entries.size() + 2;
  std::size_t done = 2;
  auto step = [&]() { progress.SetPosition(static_cast<int>(50 + 900 * ++done / total)); };
  progress.SetPosition(static_cast<int>(50 + 900 * done / total));

  if (!session.Run(Call("mc_enum_access_levels", account), r)) return false;
  TrackerList levels;
  ReadMantisObjects(r, levels);
  const Lookup developer = ExactLookup(levels, u"developer");
  step();
  for (const ListEntry& project : lists.projects.entries) {
    if (!session.Run(Call("mc_project_get_categories", account).Integer("project_id", project.id),
                     r))
      return false;
    ReadMantisNames(r, lists.categories, project.name);
    step();
    if (!session.Run(Call("mc_project_get_versions", account).Integer("project_id", project.id), r))
      return false;
    ReadMantisNames(r, lists.versions, project.name);
    step();
    SoapCall users = Call("mc_project_get_users", account);
    users.Integer("project_id", project.id);
    if (developer.found == Found::Match) users.Integer("access", developer.value);
    if (!session.Run(users, r)) return false;
    ReadMantisObjects(r, lists.users, project.name);
    step();
  }
  if (!session.Run(Call("mc_enum_priorities", account), r)) return false;
  ReadMantisObjects(r, lists.priorities);
  step();
  if (!session.Run(Call("mc_enum_severities", account), r)) return false;
  ReadMantisObjects(r, lists.severities);
  step();
  return true;
}

}  // namespace

SoapCall MantisIssueCall(const TrackerEntry& entry, const MantisLists& lists,
                         const TrackerAccount& account) {
  const Lookup project = PlainLookup(lists.projects, entry.project);
  if (project.found == Found::None) throw std::invalid_argument("Mantis lists no project");
  std::u16string projectName;
  for (const ListEntry& e : lists.projects.entries)
    if (e.id == project.value) projectName = e.name;
  const Lookup version = ExactLookup(lists.versions, entry.version, &projectName);
  const Lookup handler = ExactLookup(lists.users, entry.assignTo, &projectName);
  const Lookup priority = ExactLookup(lists.priorities, u"normal");
  const Lookup severity = ExactLookup(lists.severities, u"crash");

  std::string issue = "<project href=\"#2\"/>";
  if (version.found == Found::Match) issue += SoapElement("version", "xsd:string", version.value);
  if (handler.found == Found::Match) issue += "<handler href=\"#3\"/>";
  if (priority.found == Found::Match) issue += "<priority href=\"#4\"/>";
  if (severity.found == Found::Match) issue += "<severity href=\"#5\"/>";
  issue += SoapElement("summary", "xsd:string", entry.title);
  issue += SoapElement("category", "xsd:string",
                       ProjectLookup(lists.categories, entry.area, projectName).value);
  issue += SoapElement("os", "xsd:string", MantisOperatingSystem(entry.operatingSystem));
  // Escaped, not stripped: the report's quotes and angle brackets stay.
  issue += SoapElement("description", "xsd:string", entry.description);

  SoapCall call = Call("mc_issue_add", account);
  call.Reference("issue", 1).MultiReference("ns2:IssueData", 1, "ns2:IssueData", issue);
  call.MultiReference("ns2:project", 2, "ns2:ObjectRef",
                      SoapElement("id", "xsd:long", project.value));
  if (handler.found == Found::Match)
    call.MultiReference("ns2:handler", 3, "ns2:AccountData",
                        SoapElement("id", "xsd:long", handler.value));
  if (priority.found == Found::Match)
    call.MultiReference("ns2:priority", 4, "ns2:ObjectRef",
                        SoapElement("id", "xsd:long", priority.value));
  if (severity.found == Found::Match)
    call.MultiReference("ns2:severity", 5, "ns2:ObjectRef",
                        SoapElement("id", "xsd:long", severity.value));
  return call;
}

SubmissionResult SubmitToMantis(HttpClient& http, const TrackerAccount& account,
                                const TrackerEntry& entry, IUploadProgress& progress) {
  MantisSession session(http);
  XmlElement r;
  if (!session.Run(SoapCall("mc_version"), r)) return session.Failure();
  if (r.text.empty()) return session.Failure("mc_version: no version: not a Mantis server");
  MantisLists lists;
  if (!ReadLists(session, account, lists, progress)) return session.Failure();

  try {
    if (!session.Run(MantisIssueCall(entry, lists, account), r)) return session.Failure();
  } catch (const std::invalid_argument& e) {
    return session.Failure(e.what());
  }
  if (!IsNumber(r.text)) return session.Failure("mc_issue_add: the answer names no issue");
  SubmissionResult result;
  result.id = Utf8ToUtf16(r.text);
  RememberMantisIssue(result.id);
  progress.NextArea();

  for (const FormFile& file : entry.files) {
    if (file.bytes.empty()) continue;
    SoapCall call = Call("mc_issue_attachment_add", account);
    call.Long("issue_id", result.id)
        .String("name", file.fileName)
        .String("file_type", Utf8ToUtf16(delivery::MimeTypeOf(file.fileName)))
        .Base64("content", file.bytes);
    if (!session.Run(call, r)) return session.Failure(std::move(result));
    progress.NextArea();
  }
  result.ok = true;
  return result;
}

}  // namespace ostrel::upload
