#include "tests/wine/delivery/http_probe_options.h"

#include <map>

#include "crash/base/utf.h"

namespace ostrel::upload::probe {

namespace {

bool ReadNumber(const std::u16string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 9) return false;
  int n = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    n = n * 10 + (c - u'0');
  }
  if (n < low || n > high) return false;
  value = n;
  return true;
}

}  // namespace

std::optional<HttpProbeOptions> ParseHttpProbeOptions(const std::vector<std::u16string>& args,
                                                      std::string& problem) {
  HttpProbeOptions o;
  if (args.empty()) {
    problem = "no mode";
    return std::nullopt;
  }
  o.mode = args[0];
  if (o.mode != u"upload" && o.mode != u"fogbugz" && o.mode != u"bugzilla" && o.mode != u"mantis") {
    problem = "unknown mode " + Utf16ToUtf8(o.mode);
    return std::nullopt;
  }
  const std::map<std::u16string, std::u16string*> texts = {
      {u"--server", &o.server},
      {u"--account", &o.account},
      {u"--password", &o.password},
      {u"--tracker-account", &o.trackerAccount},
      {u"--tracker-password", &o.trackerPassword},
      {u"--sender", &o.sender},
      {u"--title", &o.title},
      {u"--description-file", &o.descriptionFile},
      {u"--project", &o.project},
      {u"--area", &o.area},
      {u"--assign-to", &o.assignTo},
      {u"--version", &o.version},
      {u"--computer", &o.computer},
      {u"--os", &o.os},
      {u"--crc", &o.crc}};
  bool haveServer = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::u16string& name = args[i];
    const auto values = [&](std::size_t count) {
      if (args.size() - i - 1 >= count) return true;
      problem = Utf16ToUtf8(name) + " wants " + std::to_string(count) + " value(s)";
      return false;
    };
    if (const auto text = texts.find(name); text != texts.end()) {
      if (!values(1)) return std::nullopt;
      *text->second = args[++i];
      haveServer = haveServer || name == u"--server";
    } else if (name == u"--port" || name == u"--timeout-ms") {
      if (!values(1)) return std::nullopt;
      const bool port = name == u"--port";
      if (!ReadNumber(args[++i], port ? 0 : 1, port ? 65535 : 100000000,
                      port ? o.port : o.timeoutMs)) {
        problem = "bad number for " + Utf16ToUtf8(name);
        return std::nullopt;
      }
    } else if (name == u"--field") {
      if (!values(2)) return std::nullopt;
      o.fields.push_back({args[i + 1], args[i + 2]});
      i += 2;
    } else if (name == u"--attach") {
      if (!values(3)) return std::nullopt;
      o.attachments.push_back({args[i + 1], args[i + 2], args[i + 3]});
      i += 3;
    } else if (name == u"--ssl") {
      o.ssl = true;
    } else if (name == u"--no-open-redirect") {
      o.openRedirects = false;
    } else {
      problem = "unknown argument " + Utf16ToUtf8(name);
      return std::nullopt;
    }
  }
  if (!haveServer) {
    problem = "no --server";
    return std::nullopt;
  }
  return o;
}

}  // namespace ostrel::upload::probe
