#pragma once
// The http_probe command line: which submission, to which server, with
// what in it.
#include <optional>
#include <string>
#include <vector>

#include "crash/ui/upload/multipart_form.h"

namespace ostrel::upload::probe {

inline constexpr char kHttpProbeUsage[] =
    "http_probe upload|fogbugz|bugzilla|mantis --server URL [--port N] [--ssl]\n"
    "    [--account A] [--password P] [--tracker-account A] [--tracker-password P]\n"
    "    [--sender ADDR] [--field NAME VALUE]... [--attach PATH NAME FIELD]...\n"
    "    [--title T] [--description-file F] [--project P] [--area A] [--assign-to U]\n"
    "    [--version V] [--computer C] [--os O] [--crc X] [--timeout-ms N] [--no-open-redirect]";

struct ProbeAttachment {
  std::u16string path, name, field;
};

struct HttpProbeOptions {
  std::u16string mode;  // upload, fogbugz, bugzilla or mantis
  std::u16string server;
  int port = 0;  // the scheme's default
  bool ssl = false;
  std::u16string account, password;                // HTTP authentication
  std::u16string trackerAccount, trackerPassword;  // the tracker's log-on
  std::u16string sender;
  std::vector<FormField> fields;
  std::vector<ProbeAttachment> attachments;
  std::u16string title, descriptionFile, project, area, assignTo;
  std::u16string version, computer, os, crc;
  int timeoutMs = 120000;
  bool openRedirects = true;
};

// The arguments after the program's name; nothing, with the problem, when
// they do not fit the usage.
std::optional<HttpProbeOptions> ParseHttpProbeOptions(const std::vector<std::u16string>& args,
                                                      std::string& problem);

}  // namespace ostrel::upload::probe
