// The dialogue against a real SMTP server: Python's aiosmtpd, started by
// the test on a port of 127.0.0.1, plain SMTP.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "crash/ui/delivery/mail_date.h"
#include "crash/ui/delivery/smtp_mail.h"
#include "mime_reading.h"
#include "socket_connection.h"
#include "tests/support/random_bytes.h"
#include "tests/support/skip_or_fail.h"

namespace ostrel::delivery {
namespace {

// The value of "key": "..." in the peer's JSON (the test's texts need no
// escapes there).
std::string JsonText(const std::string& json, const std::string& key) {
  const std::size_t at = json.find("\"" + key + "\": \"");
  if (at == std::string::npos) return "<missing " + key + ">";
  const std::size_t start = at + key.size() + 5;
  return json.substr(start, json.find('"', start) - start);
}

std::string ReadLine(FILE* from) {
  char buffer[1 << 16];
  std::string line;
  while (std::fgets(buffer, sizeof buffer, from)) {
    line += buffer;
    if (!line.empty() && line.back() == '\n') break;
  }
  return line;
}

// The first Python that has aiosmtpd: the one on the path may be a
// Python of its own (pyenv, a virtual environment) without the system's
// packages.
std::string PythonWithAiosmtpd() {
  for (const char* python : {"python3", "/usr/bin/python3"})
    if (std::system((std::string(python) + " -c 'import aiosmtpd' >/dev/null 2>&1").c_str()) == 0)
      return python;
  return "";
}

TEST(SmtpAgainstAiosmtpd, TheMessageArrivesEqual) {
  const std::string python = PythonWithAiosmtpd();
  if (python.empty()) PELMORA_SKIP_OR_FAIL("Python's aiosmtpd is not installed (python3-aiosmtpd)");
  std::string path = (std::filesystem::temp_directory_path() / "delivery-peer-XXXXXX").string();
  const int fd = mkstemp(path.data());
  ASSERT_GE(fd, 0);
  close(fd);
  std::unique_ptr<FILE, int (*)(FILE*)> peer(
      popen((python + " " DELIVERY_SMTP_PEER " " + path).c_str(), "r"), pclose);
  ASSERT_TRUE(peer);
  const std::string portLine = ReadLine(peer.get());
  ASSERT_TRUE(portLine.starts_with("PORT ")) << portLine;

  SmtpJob job;
  job.sender = u"Ostrel <support@example.org>";
  job.recipients = u"first@example.org; Second <second@example.net>";
  job.subject = u"Fehler in Größe: 5 €";
  job.body = u".NET\n...\n.\nlast line: Grüße";
  const std::vector<std::uint8_t> png = test_data::RandomBytes(70000, 11);
  job.attachments = {{u"screenshot.png", png}, {u"bericht-ä.txt", {'.', '\r', '\n', '.'}}};
  job.server = u"127.0.0.1";
  job.port = std::atoi(portLine.c_str() + 5);
  job.fileTime = FileTimeOfDateTime({2024, 3, 7, 9, 5, 3});
  std::string error;
  testing::SocketNetwork network;
  ASSERT_TRUE(SendSmtpMail(job, SmtpTuning(), network, nullptr, nullptr, error)) << error;

  ASSERT_EQ(ReadLine(peer.get()), "MESSAGE\n");
  std::ifstream file(path);
  const std::string line((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  unlink(path.c_str());
  EXPECT_EQ(JsonText(line, "from"), "support@example.org");
  EXPECT_NE(line.find("\"to\": [\"first@example.org\", \"second@example.net\"]"), std::string::npos)
      << line;
  const std::optional<std::string> content = testing::DecodeBase64(JsonText(line, "content"));
  ASSERT_TRUE(content);
  const testing::MimeEntity message = testing::ReadEntity(*content);
  EXPECT_EQ(testing::DecodeEncodedWords(*message.Header("Subject")),
            "Fehler in Gr\xc3\xb6\xc3\x9f"
            "e: 5 \xe2\x82\xac");
  const std::vector<testing::MimeEntity> parts =
      testing::ReadParts(message.body, kMultipartBoundary);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0].body,
            ".NET\r\n...\r\n.\r\nlast line: Gr\xfc\xdf"
            "e");
  EXPECT_EQ(testing::DecodeBase64(parts[1].body), std::string(png.begin(), png.end()));
  EXPECT_EQ(testing::DecodeBase64(parts[2].body), ".\r\n.");
}

}  // namespace
}  // namespace ostrel::delivery
