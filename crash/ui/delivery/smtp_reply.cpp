#include "crash/ui/delivery/smtp_reply.h"

namespace ostrel::delivery {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

ReplyState SmtpReplyParser::Feed(std::string_view bytes, std::size_t& used) {
  used = 0;
  if (state_ == ReplyState::Complete) {
    state_ = ReplyState::Incomplete;
    reply_ = SmtpReply();
  }
  while (state_ == ReplyState::Incomplete && used < bytes.size()) {
    const char c = bytes[used++];
    if (c == '\n') {
      state_ = TakeLine();
    } else if (line_.size() >= kLineLimit) {
      state_ = ReplyState::LineTooLong;
    } else {
      line_ += c;
    }
  }
  return state_;
}

ReplyState SmtpReplyParser::TakeLine() {
  std::string line;
  line.swap(line_);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // "250", "250 text" or "250-text"; every line with the first one's code.
  if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]) ||
      (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
    return ReplyState::Malformed;
  const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
  if (reply_.lines.empty()) {
    reply_.code = code;
    reply_.firstLine = line;
  } else if (code != reply_.code) {
    return ReplyState::Malformed;
  }
  const bool more = line.size() > 3 && line[3] == '-';
  reply_.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
  if (!more) return ReplyState::Complete;
  return reply_.lines.size() >= kLineCountLimit ? ReplyState::TooManyLines : ReplyState::Incomplete;
}

const char* ReplyStateText(ReplyState state) {
  switch (state) {
    case ReplyState::Incomplete:
      return "incomplete reply";
    case ReplyState::Complete:
      return "complete reply";
    case ReplyState::Malformed:
      return "malformed reply";
    case ReplyState::LineTooLong:
      return "reply line too long";
    case ReplyState::TooManyLines:
      return "reply has too many lines";
  }
  return "unknown reply state";
}

}  // namespace ostrel::delivery
