#include "crash/ui/upload/bugzilla_submission.h"

#include "crash/base/utf.h"
#include "crash/ui/delivery/mime_type.h"
#include "crash/ui/upload/tracker_session.h"

namespace ostrel::upload {

namespace {

bool HasCredentials(const TrackerAccount& account) {
  return !account.account.empty() && !account.password.empty();
}

XmlRpcCall Call(std::string method, const TrackerAccount* account) {
  XmlRpcCall call(std::move(method));
  if (account != nullptr && HasCredentials(*account))
    call.String("Bugzilla_login", account->account).String("Bugzilla_password", account->password);
  return call;
}

class BugzillaSession : public TrackerSession {
 public:
  using TrackerSession::TrackerSession;

  bool Run(const XmlRpcCall& call, XmlRpcValue& value) {
    HttpResult answer = http_.Post(http_.Server().Target("/xmlrpc.cgi"), "text/xml", call.Body());
    if (!answer.ok) return Failed(answer.error);
    XmlRpcResponse read = ParseXmlRpcResponse(answer.body);
    if (!read.ok) return Failed(call.Method() + ": " + read.error);
    value = std::move(read.value);
    return true;
  }
};

// The products with their components and versions, and the fields' values.
bool ReadLists(BugzillaSession& session, const TrackerAccount& account, BugzillaLists& lists,
               IUploadProgress& progress) {
  XmlRpcValue value;
  std::vector<long long> ids;
  if (!session.Run(Call("Product.get_enterable_products", &account), value)) return false;
  if (!BugzillaIds(value, ids))
    return session.Failed("Product.get_enterable_products: the answer has no ids");
  progress.SetPosition(500);
  if (!session.Run(Call("Product.get", &account).IntArray("ids", ids), value)) return false;
  ReadBugzillaProducts(value, lists);
  progress.SetPosition(667);
  if (!session.Run(Call("Bug.fields", &account), value)) return false;
  ReadBugzillaFields(value, lists);
  progress.SetPosition(833);
  return true;
}

std::u16string WithoutBlanksAndCommas(std::u16string text) {
  std::erase(text, u' ');
  std::erase(text, u',');
  return text;
}

}  // namespace

XmlRpcCall BugzillaCreateCall(const TrackerEntry& entry, const BugzillaLists& lists,
                              const TrackerAccount& account) {
  const std::u16string product = PlainLookup(lists.products, entry.project).value;
  Lookup os = PlainLookup(lists.operatingSystems, entry.operatingSystem);
  if (os.found != Found::Match) os = PlainLookup(lists.operatingSystems, u"other");
  XmlRpcCall call = Call("Bug.create", &account);
  call.String("product", product)
      .String("component", ProjectLookup(lists.components, entry.area, product).value)
      .String("summary", entry.title)
      .String("version", ProjectLookup(lists.versions, entry.version, product).value)
      .String("description", entry.description)
      .String("op_sys", os.value)
      .String("alias", WithoutBlanksAndCommas(entry.callstackCrc))
      .String("priority", PlainLookup(lists.priorities, u"P2").value)
      .String("severity", PlainLookup(lists.severities, u"normal").value)
      .String("platform", PlainLookup(lists.platforms, u"PC").value)
      .String("assigned_to", entry.assignTo);
  return call;
}

SubmissionResult SubmitToBugzilla(HttpClient& http, const TrackerAccount& account,
                                  const TrackerEntry& entry, IUploadProgress& progress) {
  BugzillaSession session(http);
  XmlRpcValue value;
  if (!session.Run(Call("Bugzilla.version", nullptr), value)) return session.Failure();
  if (BugzillaVersion(value).empty())
    return session.Failure("Bugzilla.version: no version: not a Bugzilla server");
  progress.SetPosition(167);
  // The log-on test.
  if (HasCredentials(account) && !session.Run(Call("Bugzilla.version", &account), value))
    return session.Failure();
  progress.SetPosition(333);

  BugzillaLists lists;
  if (!ReadLists(session, account, lists, progress)) return session.Failure();
  long long bug = 0;
  if (!session.Run(BugzillaCreateCall(entry, lists, account), value)) return session.Failure();
  if (!BugzillaNewId(value, bug)) return session.Failure("Bug.create: the answer has no id");
  SubmissionResult result;
  result.id = Utf8ToUtf16(std::to_string(bug));
  progress.NextArea();

  for (const FormFile& file : entry.files) {
    if (file.bytes.empty()) continue;
    XmlRpcCall call = Call("Bug.add_attachment", &account);
    call.StringArray("exclude_fields", {u"data"})
        .IntArray("ids", {bug})
        .String("file_name", file.fileName)
        .String("summary", file.fileName)
        .String("content_type", Utf8ToUtf16(delivery::MimeTypeOf(file.fileName)))
        .Base64("data", file.bytes);
    // A failed attachment stops the rest; the bug stays, the submission
    // counts as failed.
    if (!session.Run(call, value)) return session.Failure(std::move(result));
    progress.NextArea();
  }
  result.ok = true;
  return result;
}

}  // namespace ostrel::upload
