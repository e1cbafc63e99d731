#include "crash/ui/delivery/smtp_extensions.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace ostrel::delivery {

namespace {

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

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
    if (words.size() == 1 && SameWord(words[0], "STARTTLS")) offered.startTls = true;
    if (!SameWord(words[0], "AUTH")) continue;
    offered.auth = true;
    for (std::size_t w = 1; w < words.size(); ++w)
      if (SameWord(words[w], "LOGIN")) offered.authLogin = true;
  }
  return offered;
}

}  // namespace ostrel::delivery
