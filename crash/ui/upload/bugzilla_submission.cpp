#include "crash/ui/upload/bugzilla_submission.h"

#include "crash/base/utf.h"
#include "crash/ui/delivery/mime_type.h"
#include "crash/ui/upload/upload_memory.h"

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

class BugzillaSession {
 public:
  explicit BugzillaSession(HttpClient& http) : http_(http) {}

  bool Run(const std::string& method, const XmlRpcCall& call, XmlRpcValue& value) {
    HttpResult answer = http_.Post(http_.Server().Target("/xmlrpc.cgi"), "text/xml", call.Body());
    if (!answer.ok) return Failed(answer.error);
    XmlRpcResponse read = ParseXmlRpcResponse(answer.body);
    if (!read.ok) return Failed(method + ": " + read.error);
    value = std::move(read.value);
    return true;
  }
  bool Failed(std::string error) {
    error_ = std::move(error);
    return false;
  }
  const std::string& Error() const { return error_; }

 private:
  HttpClient& http_;
  std::string error_;
};

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
  SubmissionResult result;
  BugzillaSession session(http);
  auto fail = [&]() {
    result.error = session.Error();
    RememberHttpError(result.error);
    return result;
  };
  XmlRpcValue value;
  if (!session.Run("Bugzilla.version", Call("Bugzilla.version", nullptr), value)) return fail();
  if (BugzillaVersion(value).empty()) {
    session.Failed("Bugzilla.version: no version: not a Bugzilla server");
    return fail();
  }
  progress.SetPosition(167);
  // The log-on test.
  if (HasCredentials(account) &&
      !session.Run("Bugzilla.version", Call("Bugzilla.version", &account), value))
    return fail();
  progress.SetPosition(333);

  BugzillaLists lists;
  std::vector<long long> ids;
  if (!session.Run("Product.get_enterable_products",
                   Call("Product.get_enterable_products", &account), value))
    return fail();
  if (!BugzillaIds(value, ids)) {
    session.Failed("Product.get_enterable_products: the answer has no ids");
    return fail();
  }
  progress.SetPosition(500);
  if (!session.Run("Product.get", Call("Product.get", &account).IntArray("ids", ids), value))
    return fail();
  ReadBugzillaProducts(value, lists);
  progress.SetPosition(667);
  if (!session.Run("Bug.fields", Call("Bug.fields", &account), value)) return fail();
  ReadBugzillaFields(value, lists);
  progress.SetPosition(833);

  long long bug = 0;
  if (!session.Run("Bug.create", BugzillaCreateCall(entry, lists, account), value)) return fail();
  if (!BugzillaNewId(value, bug)) {
    session.Failed("Bug.create: the answer has no id");
    return fail();
  }
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
    if (!session.Run("Bug.add_attachment", call, value)) return fail();
    progress.NextArea();
  }
  result.ok = true;
  return result;
}

}  // namespace ostrel::upload
