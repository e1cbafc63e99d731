#include "crash/ui/delivery/smtp_extensions.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "crash/base/text_case.h"

namespace ostrel::delivery {

namespace {

std::vector<std::string_view> WordsOf(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  while (start < line.size()) {
    const std::size_t end = std::min(line.find_first_of(" =\t", start), line.size());
    if (end > start) words.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

}  // namespace

SmtpExtensions ReadExtensions(const SmtpReply& ehloReply) {
  SmtpExtensions offered;
  for (std::size_t i = 1; i < ehloReply.lines.size(); ++i) {
    const std::vector<std::string_view> words = WordsOf(ehloReply.lines[i]);
    if (words.empty()) continue;
    if (words.size() == 1 && EqualsNoCase(words[0], "STARTTLS")) offered.startTls = true;
    if (!EqualsNoCase(words[0], "AUTH")) continue;
    offered.auth = true;
    for (std::size_t w = 1; w < words.size(); ++w)
      if (EqualsNoCase(words[w], "LOGIN")) offered.authLogin = true;
  }
  return offered;
}

}  // namespace ostrel::delivery
