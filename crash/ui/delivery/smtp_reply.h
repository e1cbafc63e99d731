#pragma once
// SMTP replies: a three-digit code, "-" after it on every line but the
// last, each line ended by CR LF. The parser takes the bytes as they come
// and holds at most one line and a bounded number of lines, so that an
// endless or huge reply ends in an error, not in unbounded memory.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::delivery {

struct SmtpReply {
  int code = 0;
  std::vector<std::string> lines;  // the text after each line's code and separator
  std::string firstLine;           // the first line as it came, for error texts
};

enum class ReplyState { Incomplete, Complete, Malformed, LineTooLong, TooManyLines };

class SmtpReplyParser {
 public:
  static constexpr std::size_t kLineLimit = 2048;
  static constexpr std::size_t kLineCountLimit = 100;

  // Reads bytes up to the end of the current reply; `used` tells how many
  // (the rest belongs to the next reply). After Complete, Reply() holds
  // it and the next Feed starts a new one; after an error the parser stays
  // in that state.
  ReplyState Feed(std::string_view bytes, std::size_t& used);
  ReplyState State() const { return state_; }
  const SmtpReply& Reply() const { return reply_; }

 private:
  ReplyState TakeLine();

  ReplyState state_ = ReplyState::Incomplete;
  std::string line_;
  SmtpReply reply_;
};

// The error's words for a reason text.
const char* ReplyStateText(ReplyState state);

}  // namespace ostrel::delivery
