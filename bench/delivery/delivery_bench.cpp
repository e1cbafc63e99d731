// The time to deliver one report (a report file and a screenshot) through
// SMTP with and without TLS and through the HTTP upload, each beside the
// time the same bytes take over a plain loopback socket to a server that
// only counts them. Run by scripts/bench-delivery.sh, which plays the
// servers; not a test.
//   delivery_bench REPORT PNG SMTP_PORT STARTTLS_PORT UPLOAD_URL SINK_PORT RUNS
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "crash/base/utf.h"
#include "crash/settings/win/win_code_page.h"
#include "crash/ui/delivery/smtp_mail.h"
#include "crash/ui/delivery/win/socket_smtp_network.h"
#include "crash/ui/upload/plain_upload.h"
#include "crash/ui/upload/win/winhttp_exchange.h"

namespace {

using namespace ostrel;
using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Milliseconds of each run; a failed run ends the measurement.
std::vector<double> Time(int runs, const std::function<bool()>& once) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    if (!once()) {
      std::printf("failed\n");
      std::exit(1);
    }
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return ms;
}

// The baseline: the same bytes over a plain socket, until the server says
// it has them all.
bool SendPlain(int port, const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<u_short>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  for (const auto* bytes : {&a, &b}) {
    std::size_t sent = 0;
    while (ok && sent < bytes->size()) {
      const int n = send(s, reinterpret_cast<const char*>(bytes->data()) + sent,
                         static_cast<int>(std::min<std::size_t>(bytes->size() - sent, 1024)), 0);
      ok = n > 0;
      if (ok) sent += static_cast<std::size_t>(n);
    }
  }
  ok = ok && shutdown(s, SD_SEND) == 0;
  char reply[2];
  ok = ok && recv(s, reply, 2, MSG_WAITALL) == 2;
  closesocket(s);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::printf(
        "usage: delivery_bench REPORT PNG SMTP_PORT STARTTLS_PORT UPLOAD_URL SINK_PORT RUNS\n");
    return 2;
  }
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  const std::vector<std::uint8_t> report = ReadAll(argv[1]), png = ReadAll(argv[2]);
  const int smtpPort = std::atoi(argv[3]), tlsPort = std::atoi(argv[4]);
  const int sinkPort = std::atoi(argv[6]), runs = std::atoi(argv[7]);
  std::printf("report %zu bytes, screenshot %zu bytes, %d runs each (median)\n", report.size(),
              png.size(), runs);

  delivery::SmtpJob job;
  job.sender = u"Pelmora Support <help@pelmora.example>";
  job.recipients = u"desk@pelmora.example";
  job.subject = u"bug report";
  job.body = u"please find the bug report attached";
  job.server = u"127.0.0.1";
  job.attachments = {{u"bugreport.txt", report}, {u"screenshot.png", png}};
  delivery::TSocketSmtpNetwork network;
  auto smtp = [&](int port, bool tls) {
    job.port = port;
    job.tls = tls;
    std::string error;
    return delivery::SendSmtpMail(job, delivery::SmtpTuning(), network, nullptr, nullptr, error);
  };

  const upload::ServerAddress server = upload::ParseServerAddress(Utf8ToUtf16(argv[5]), 0, false);
  const WinCodePage codePage;
  const std::vector<upload::FormFile> files = {
      {u"BugReport", u"bugreport.txt", std::string(report.begin(), report.end())},
      {u"ScreenShot", u"screenshot.png", std::string(png.begin(), png.end())}};
  auto http = [&] {
    upload::TWinHttpExchange exchange(server, upload::WinHttpSettings{});
    upload::HttpClient client(exchange, server, upload::HttpClientSettings{});
    upload::NoProgress progress;
    return upload::UploadForm(client, u"help@pelmora.example", {{u"MailSubject", u"bug report"}},
                              files, upload::PlainUploadSwitches{}, progress, codePage)
        .ok;
  };

  const double plain = Median(Time(runs, [&] { return SendPlain(sinkPort, report, png); }));
  const double smtpPlain = Median(Time(runs, [&] { return smtp(smtpPort, false); }));
  const double smtpTls = Median(Time(runs, [&] { return smtp(tlsPort, true); }));
  const double upload = Median(Time(runs, http));
  std::printf("plain loopback socket, same bytes: %.1f ms\n", plain);
  std::printf("SMTP without TLS:  %.1f ms, %.1f times the plain socket\n", smtpPlain,
              smtpPlain / plain);
  std::printf("SMTP with STARTTLS: %.1f ms, %.1f times the plain socket\n", smtpTls,
              smtpTls / plain);
  std::printf("HTTP upload:        %.1f ms, %.1f times the plain socket\n", upload, upload / plain);
  std::fflush(stdout);
  WSACleanup();
  return 0;
}
