#include "crash/ui/delivery/smtp_data.h"

namespace ostrel::delivery {

std::string DotStuffer::Stuff(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 64 + 1);
  for (char c : bytes) {
    if (lineStart_ && c == '.') out += '.';
    out += c;
    lineStart_ = c == '\n';
  }
  return out;
}

std::string DotStuffer::End() const { return lineStart_ ? ".\r\n" : "\r\n.\r\n"; }

}  // namespace ostrel::delivery
