#include "crash/ui/upload/multipart_form.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "crash/ui/delivery/base64.h"
#include "crash/ui/upload/form_text.h"

namespace ostrel::upload {
namespace {

const Latin1CodePage kLatin1;

std::string FieldPart(const std::string& boundary, const std::string& name,
                      const std::string& charset, const std::string& encoding,
                      const std::string& value) {
  std::string part = "\r\n--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
                     "\"\r\nContent-Type: text/plain; charset=\"" + charset + "\"\r\n";
  if (!encoding.empty()) part += "Content-Transfer-Encoding: " + encoding + "\r\n";
  return part + "\r\n" + value;
}

std::string FilePart(const std::string& boundary, const std::string& name,
                     const std::string& fileName, const std::string& bytes) {
  return "\r\n--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
         "\"; filename=\"" + fileName + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
         bytes;
}

TEST(MultipartForm, FieldsThenFilesThenTheClosingLine) {
  const std::string b = kMultipartBoundary;
  const char raw[] = "line 1\r\n<admin> & \"x\"\r\n\0\xff";
  const std::string report(raw, sizeof raw - 1);
  const MultipartForm form =
      BuildMultipartForm({{u"MailSubject", u"bug report"}, {u"MailBody", u"caf\u00e9"}},
                         {{u"BugReport", u"bugreport.txt", report}, {u"ScreenShot", u"s.png", ""}},
                         FormEncoding{}, kLatin1);
  EXPECT_EQ(form.boundary, b);
  EXPECT_EQ(form.contentType, "multipart/form-data; boundary=" + b);
  const std::string expected = FieldPart(b, "MailSubject", "iso-8859-1", "8bit", "bug report") +
                               FieldPart(b, "MailBody", "iso-8859-1", "8bit", "caf\xe9") +
                               FilePart(b, "BugReport", "bugreport.txt", report) +
                               FilePart(b, "ScreenShot", "s.png", "") + "\r\n--" + b + "--\r\n";
  EXPECT_EQ(form.body, expected);
  // Each file part is 102 bytes and its names and bytes; the closing 8 and
  // the boundary.
  const std::size_t firstFile = form.body.size() - (8 + b.size()) - (102 + b.size() + 10 + 5) -
                                (102 + b.size() + 9 + 13 + report.size());
  EXPECT_EQ(form.body.compare(firstFile, 4 + b.size(), "\r\n--" + b), 0);
  ASSERT_EQ(form.fileEnds.size(), 2u);
  EXPECT_EQ(form.fileEnds[0], firstFile + 102 + b.size() + 9 + 13 + report.size());
  EXPECT_EQ(form.fileEnds[1], form.body.size() - (8 + b.size()));
}

TEST(MultipartForm, ValuesBeyondTheCodePage) {
  const std::string b = kMultipartBoundary;
  const std::u16string euro = u"5 \u20ac";
  const std::string utf8 = "5 \xe2\x82\xac";
  // A bug tracker's form: Base64 with its transfer-encoding line.
  EXPECT_EQ(
      BuildMultipartForm({{u"v", euro}}, {}, FormEncoding{}, kLatin1).body,
      FieldPart(b, "v", "utf-8", "base64", delivery::EncodeBase64(utf8)) + "\r\n--" + b + "--\r\n");
  // A plain upload with its default switch: raw UTF-8 and no encoding line
  // in any field.
  EXPECT_EQ(
      BuildMultipartForm({{u"v", euro}, {u"w", u"x"}}, {}, FormEncoding{true, false}, kLatin1).body,
      FieldPart(b, "v", "utf-8", "", utf8) + FieldPart(b, "w", "iso-8859-1", "", "x") + "\r\n--" +
          b + "--\r\n");
  // UTF-8 forced: even a plain value, and the names as encoded words.
  EXPECT_EQ(BuildMultipartForm({{u"w", u"x"}}, {}, FormEncoding{false, true}, kLatin1).body,
            FieldPart(b, EncodedWord(u"w"), "utf-8", "base64", delivery::EncodeBase64("x")) +
                "\r\n--" + b + "--\r\n");
}

TEST(MultipartForm, NamesBeyondTheCodePageAreEncodedWords) {
  const MultipartForm form = BuildMultipartForm(
      {{u"\u0416", u"v"}}, {{u"F\u20ac", u"\u20ac.txt", "x"}}, FormEncoding{}, kLatin1);
  EXPECT_NE(form.body.find("name=\"" + EncodedWord(u"\u0416") + "\""), std::string::npos);
  EXPECT_NE(form.body.find("name=\"" + EncodedWord(u"F\u20ac") + "\"; filename=\"" +
                           EncodedWord(u"\u20ac.txt") + "\""),
            std::string::npos);
}

TEST(MultipartForm, ContentHoldingTheBoundaryGetsAnotherOne) {
  const std::string b = kMultipartBoundary;
  const MultipartForm form = BuildMultipartForm(
      {{u"quoted", u"an earlier upload:\r\n--" + std::u16string(b.begin(), b.end())}}, {},
      FormEncoding{}, kLatin1);
  EXPECT_NE(form.boundary, b);
  EXPECT_EQ(form.contentType, "multipart/form-data; boundary=" + form.boundary);
  EXPECT_TRUE(form.body.ends_with("\r\n--" + form.boundary + "--\r\n"));
  EXPECT_NE(form.body.find("an earlier upload:\r\n--" + b), std::string::npos);

  // Content holding every variant is refused with a reason.
  std::string all;
  for (int i = 0; i < 16; ++i) {
    const MultipartForm f = BuildMultipartForm({{u"x", u"y"}}, {{u"f", u"f", all}}, {}, kLatin1);
    all += "--" + f.boundary + "\n";
  }
  EXPECT_THROW(BuildMultipartForm({}, {{u"f", u"f", all}}, {}, kLatin1), std::invalid_argument);
}

}  // namespace
}  // namespace ostrel::upload
