// The uploads against Python servers over real sockets: Python's own
// readers (email.parser, xmlrpc.server, xml.etree, urllib.parse) must find
// every field, value and file equal to what was meant, byte for byte.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <map>

#include "crash/base/utf.h"
#include "crash/ui/upload/bugzilla_submission.h"
#include "crash/ui/upload/fogbugz_submission.h"
#include "crash/ui/upload/mantis_submission.h"
#include "crash/ui/upload/plain_upload.h"
#include "crash/ui/upload/xml_rpc.h"
#include "tests/support/random_bytes.h"
#include "tests/support/skip_or_fail.h"
#include "tests/unit/upload/posix_http_exchange.h"
#include "tests/unit/upload/python_tools.h"
#include "tests/unit/upload/sample_entry.h"

namespace ostrel::upload {
namespace {

using test::Hex;

const Latin1CodePage kLatin1;

// The expectations file: names to hex strings or lists of them.
class Expectations {
 public:
  Expectations& Value(const std::string& name, std::string_view bytes) {
    items_.push_back("\"" + name + "\": \"" + Hex(bytes) + "\"");
    return *this;
  }
  Expectations& List(const std::string& name, const std::vector<std::vector<std::string>>& rows) {
    std::string text = "\"" + name + "\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
      text += i ? ", [" : "[";
      for (std::size_t j = 0; j < rows[i].size(); ++j)
        text += (j ? ", \"" : "\"") + Hex(rows[i][j]) + "\"";
      text += "]";
    }
    items_.push_back(text + "]");
    return *this;
  }
  std::string Write(const std::string& name) const {
    const std::string path =
        ::testing::TempDir() + "upload-" + name + "-" + std::to_string(::getpid()) + ".json";
    std::ofstream out(path);
    out << "{";
    for (std::size_t i = 0; i < items_.size(); ++i) out << (i ? ", " : "") << items_[i];
    out << "}";
    return path;
  }

 private:
  std::vector<std::string> items_;
};

// Binary attachment bytes; the last is no line break, which a multipart
// reader may take as the delimiter's.
std::string Binary(std::size_t size, unsigned seed) {
  const std::vector<std::uint8_t> v = test_data::RandomBytes(size, seed);
  std::string bytes(v.begin(), v.end());
  bytes.back() = 'z';
  return bytes;
}

TrackerEntry Entry() {
  TrackerEntry e = test::SampleEntry();
  e.files[2].bytes = Binary(70000, 7);
  return e;
}

std::vector<std::vector<std::string>> NamedFiles(const TrackerEntry& e, bool withEmpty) {
  std::vector<std::vector<std::string>> rows;
  for (const FormFile& f : e.files)
    if (withEmpty || !f.bytes.empty()) rows.push_back({Utf16ToUtf8(f.fileName), f.bytes});
  return rows;
}

struct Peer {
  Peer(const std::string& script, const Expectations& e, const std::string& name)
      : path(e.Write(name)), peer(script, {path}) {}
  ~Peer() { std::remove(path.c_str()); }
  std::string path;
  test::PythonPeer peer;
};

#define START_PEER(p)                                                       \
  do {                                                                      \
    if ((p).peer.MissingModule()) PELMORA_SKIP_OR_FAIL((p).peer.Problem()); \
    ASSERT_TRUE((p).peer.Running()) << (p).peer.Problem();                  \
  } while (0)

ServerAddress Local(const Peer& p, const char16_t* path) {
  return ParseServerAddress(u"127.0.0.1" + std::u16string(path), p.peer.Port(), false);
}

// A peer and a client of its pages below `path`.
struct PeerClient {
  PeerClient(const std::string& script, const Expectations& e, const std::string& name,
             const char16_t* path, HttpClientSettings settings = {})
      : p(script, e, name), exchange(Local(p, path)), http(exchange, Local(p, path), settings) {}
  Peer p;
  test::PosixHttpExchange exchange;
  HttpClient http;
};

// What a tracker's peer checks: the account's log-in, the entry's title
// (under the tracker's name for it) and description, and its files.
Expectations TrackerExpectations(const TrackerAccount& account, const TrackerEntry& entry,
                                 const std::string& titleName, bool withEmptyFiles) {
  Expectations e;
  e.Value("login", Utf16ToUtf8(account.account))
      .Value("password", Utf16ToUtf8(account.password))
      .Value(titleName, Utf16ToUtf8(entry.title))
      .Value("description", Utf16ToUtf8(entry.description))
      .List("files", NamedFiles(entry, withEmptyFiles));
  return e;
}

TEST(UploadPeers, PlainUploadReadBackByEmailParser) {
  const std::string report = "error details: <admin> & <suspended>\r\n\"x\"\r\n";
  const std::string screenshot = Binary(100000, 3);
  Expectations e;
  e.Value("from", "<support@example.com>")
      .Value("authorization", "Basic YW5uOnMzY3JldA==")  // ann:s3cret
      .List("fields", {{"MailFrom", "support@example.com"},
                       {"MailAddr", "a@example.com,b@example.com"},
                       {"MailBody", "caf\xc3\xa9 <priority:2> & \xe2\x82\xac\r\n."},
                       {"\xd0\x96\xd1\x83\xd1\x80", "field named beyond the code page"}})
      .List("files", {{"BugReport", "bugreport.txt", report},
                      {"ScreenShot", "screenshot.png", screenshot},
                      {"Empty", "empty.txt", ""}});
  HttpClientSettings settings;
  settings.account = u"ann";
  settings.password = u"s3cret";
  PeerClient c("form_peer.py", e, "form", u"/up/", settings);
  START_PEER(c.p);
  NoProgress progress;
  auto upload = [&](std::u16string mailFrom, std::u16string mailAddr,
                    PlainUploadSwitches switches) {
    return UploadForm(c.http, u"Ostrel <support@example.com>",
                      {{u"MailFrom", std::move(mailFrom)},
                       {u"MailAddr", std::move(mailAddr)},
                       {u"MailBody", u"caf\u00e9 <priority:2> & \u20ac\r\n."},
                       {u"\u0416\u0443\u0440", u"field named beyond the code page"}},
                      {{u"BugReport", u"bugreport.txt", report},
                       {u"ScreenShot", u"screenshot.png", screenshot},
                       {u"Empty", u"empty.txt", ""}},
                      switches, progress, kLatin1);
  };
  const SubmissionResult r =
      upload(u"Ostrel <support@example.com>", u"a@example.com; Bo <b@example.com>", {});
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(c.http.Get("/matched").body, "matched=1");

  // A bug tracker's encoding (Base64 values with their encoding lines) reads
  // back the same.
  const SubmissionResult again = upload(u"support@example.com", u"a@example.com,b@example.com",
                                        PlainUploadSwitches{false, false, true});
  EXPECT_TRUE(again.ok) << again.error;
  EXPECT_EQ(c.http.Get("/matched").body, "matched=2");
}

TEST(UploadPeers, BugzillaOverXmlRpcServer) {
  const TrackerEntry entry = Entry();
  const TrackerAccount account{u"ann@example.com", u"p<w>&"};
  PeerClient c("bugzilla_peer.py", TrackerExpectations(account, entry, "summary", false),
               "bugzilla", u"/bz");
  START_PEER(c.p);
  NoProgress progress;
  const SubmissionResult r = SubmitToBugzilla(c.http, account, entry, progress);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.id, u"42");
  const XmlRpcResponse received = ParseXmlRpcResponse(
      c.http.Post("/bz/xmlrpc.cgi", "text/xml", XmlRpcCall("Test.received").Body()).body);
  ASSERT_TRUE(received.ok) << received.error;
  EXPECT_EQ(received.value.Member("bugs")->number, 1);
  EXPECT_EQ(received.value.Member("attachments")->number, 2);  // the empty file stays behind
  EXPECT_EQ(received.value.Member("anonymous_versions")->number, 1);

  // A wrong password is the log-on test's fault; nothing more is sent.
  const SubmissionResult refused =
      SubmitToBugzilla(c.http, TrackerAccount{u"ann@example.com", u"wrong"}, entry, progress);
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.error.find("not valid"), std::string::npos) << refused.error;
}

TEST(UploadPeers, MantisOverSoap) {
  const TrackerEntry entry = Entry();
  const TrackerAccount account{u"<ann>", u"\"pw\""};
  PeerClient c("mantis_peer.py", TrackerExpectations(account, entry, "summary", false), "mantis",
               u"/mantis");
  START_PEER(c.p);
  NoProgress progress;
  const SubmissionResult r = SubmitToMantis(c.http, account, entry, progress);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.id, u"77");
  EXPECT_EQ(c.http.Get("/received").body, "issues=1 attachments=2");

  const SubmissionResult refused =
      SubmitToMantis(c.http, TrackerAccount{u"ann", u"pw"}, entry, progress);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, "mc_projects_get_user_accessible: Access denied");
}

TEST(UploadPeers, FogBugzOverHttpServer) {
  const TrackerEntry entry = Entry();
  const TrackerAccount account{u"ann@example.com", u"p w&=?"};
  PeerClient c("fogbugz_peer.py", TrackerExpectations(account, entry, "title", true), "fogbugz",
               u"/fb");
  START_PEER(c.p);
  NoProgress progress;
  const SubmissionResult r = SubmitToFogBugz(c.http, account, entry, progress, kLatin1);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.id, u"9");
  EXPECT_EQ(c.http.Get("/fb/received").body, "cases=1 files=3 logoff=1");

  const SubmissionResult refused = SubmitToFogBugz(
      c.http, TrackerAccount{u"ann@example.com", u"nope"}, entry, progress, kLatin1);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, "logon: Incorrect password or username");
}

TEST(UploadPeers, NobodyListeningFailsInTime) {
  // A port that was just free: connecting is refused at once.
  const ServerAddress nowhere = ParseServerAddress(u"127.0.0.1/x", 1, false);
  test::PosixHttpExchange exchange(nowhere);
  HttpClientSettings settings;
  settings.timeout = std::chrono::milliseconds(2000);
  HttpClient http(exchange, nowhere, settings);
  NoProgress progress;
  const SubmissionResult r = SubmitToBugzilla(http, {}, Entry(), progress);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("cannot connect"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace ostrel::upload
