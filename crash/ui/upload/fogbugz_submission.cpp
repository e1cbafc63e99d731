#include "crash/ui/upload/fogbugz_submission.h"

#include <stdexcept>

#include "crash/base/utf.h"
#include "crash/ui/upload/fogbugz_answers.h"
#include "crash/ui/upload/tracker_session.h"

namespace ostrel::upload {

namespace {

class FogBugzSession : public TrackerSession {
 public:
  FogBugzSession(HttpClient& http, const FogBugzServer& server)
      : TrackerSession(http), server_(server) {}

  // A command's response element; false (and error set) on any failure.
  bool Run(std::string_view command, FogBugzArguments arguments, XmlElement& response) {
    const std::string target = FogBugzCommand(server_.scriptPath, command, arguments);
    return Read(command, http_.Get(http_.Server().Target(target)), response);
  }
  // The same for a command's answer that came by other means.
  bool Read(std::string_view command, const HttpResult& answer, XmlElement& response) {
    if (!answer.ok) return Failed(answer.error);
    FogBugzAnswer read = ReadFogBugzAnswer(answer.body);
    if (!read.ok) return Failed(std::string(command) + ": " + read.error);
    response = std::move(read.response);
    return true;
  }

 private:
  const FogBugzServer& server_;
};

void ReadList(const XmlElement& response, std::string_view name, TrackerList& list) {
  for (std::u16string& text : FogBugzTexts(response, name)) list.Add(std::move(text));
}

bool ReadLists(FogBugzSession& session, const std::u16string& token, FogBugzLists& lists,
               IUploadProgress& progress) {
  XmlElement r;
  if (!session.Run("listProjects", {{"token", token}, {"fWrite", u"1"}}, r)) return false;
  ReadList(r, "sProject", lists.projects);
  progress.SetPosition(333);
  if (!session.Run("listAreas", {{"token", token}, {"fWrite", u"1"}}, r)) return false;
  for (const XmlElement* area : r.FindAll("area")) {
    const XmlElement* name = area->Child("sArea");
    const XmlElement* project = area->Child("sProject");
    if (name != nullptr)
      lists.areas.Add(Utf8ToUtf16(name->text), {}, project ? Utf8ToUtf16(project->text) : u"");
  }
  progress.SetPosition(444);
  if (!session.Run("listCategories", {{"token", token}}, r)) return false;
  ReadList(r, "sCategory", lists.categories);
  progress.SetPosition(555);
  if (!session.Run("listPriorities", {{"token", token}}, r)) return false;
  ReadList(r, "sPriority", lists.priorities);
  progress.SetPosition(666);
  if (!session.Run("listPeople", {{"token", token}}, r)) return false;
  ReadList(r, "sFullName", lists.people);
  progress.SetPosition(777);
  return true;
}

}  // namespace

std::vector<FormField> FogBugzCaseFields(const TrackerEntry& entry, const FogBugzLists& lists,
                                         const std::u16string& token) {
  const std::u16string project = ExactLookup(lists.projects, entry.project).value;
  std::u16string area;
  if (!project.empty()) {
    area = ExactLookup(lists.areas, entry.area, &project).value;
    if (area.empty()) area = ExactLookup(lists.areas, u"not spam", &project).value;
  }
  return {{u"cmd", u"new"},
          {u"token", token},
          {u"sTitle", entry.title},
          {u"sEvent", entry.description},
          {u"sProject", project},
          {u"sArea", area},
          {u"sCategory", PlainLookup(lists.categories, u"bug").value},
          {u"sPersonAssignedTo", ExactLookup(lists.people, entry.assignTo).value},
          {u"sVersion", entry.version},
          {u"sComputer", entry.computerName},
          {u"sCustomerEmail", entry.sender},
          {u"ixMailbox", entry.sender},
          {u"sScoutDescription", entry.callstackCrc},
          {u"nFileCount", Utf8ToUtf16(std::to_string(entry.files.size()))}};
}

SubmissionResult SubmitToFogBugz(HttpClient& http, const TrackerAccount& account,
                                 const TrackerEntry& entry, IUploadProgress& progress,
                                 const ICodePage& codePage, bool alwaysUtf8) {
  FogBugzServer server;
  FogBugzSession session(http, server);
  HttpResult api = http.Get(http.Server().Target("/api.xml"));
  if (!api.ok) return session.Failure(api.error);
  std::string error;
  if (!ReadFogBugzApi(api.body, server, error)) return session.Failure(error);
  progress.SetPosition(111);

  XmlElement r;
  if (!session.Run("logon", {{"email", account.account}, {"password", account.password}}, r))
    return session.Failure();
  const XmlElement* tokenElement = r.Find("token");
  const std::u16string token = tokenElement ? Utf8ToUtf16(tokenElement->text) : u"";
  if (token.empty()) return session.Failure("logon: the answer has no token");
  progress.SetPosition(222);

  SubmissionResult result;
  FogBugzLists lists;
  bool created = false;
  if (ReadLists(session, token, lists, progress)) {
    progress.SetPosition(888);
    std::vector<FormFile> files = entry.files;
    for (std::size_t i = 0; i < files.size(); ++i)
      files[i].fieldName = u"File" + Utf8ToUtf16(std::to_string(i + 1));
    try {
      MultipartForm form = BuildMultipartForm(FogBugzCaseFields(entry, lists, token), files,
                                              FormEncoding{false, alwaysUtf8}, codePage);
      HttpResult answer = http.Post(http.Server().Target(server.scriptPath), form.contentType,
                                    std::move(form.body));
      if (session.Read("new", answer, r)) {
        result.id = FogBugzCaseNumber(r);
        if (result.id.empty())
          session.Failed("new: the answer names no case");
        else
          created = true;
      }
    } catch (const std::invalid_argument& e) {
      session.Failed(e.what());
    }
  }
  if (created) {
    progress.NextArea();
    for (std::size_t i = 0; i < entry.files.size(); ++i) progress.NextArea();
  }
  // Whatever came of the case, the token is given back.
  const std::string lost = session.Error();
  session.Run("logoff", {{"token", token}}, r);
  if (!created) return FailedSubmission(lost);
  result.ok = true;
  return result;
}

}  // namespace ostrel::upload
