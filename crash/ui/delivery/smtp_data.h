#pragma once
// The message as it goes through DATA: every line that begins with "."
// gets one more "." in front, so that only the final "." line ends it.

#include <string>
#include <string_view>

namespace ostrel::delivery {

class DotStuffer {
 public:
  // The bytes as sent; the state carries over between pieces, so a line
  // may be split anywhere.
  std::string Stuff(std::string_view bytes);
  // The end of the data: CR LF "." CR LF, without the first CR LF when the
  // data so far ends a line.
  std::string End() const;

 private:
  bool lineStart_ = true;
};

}  // namespace ostrel::delivery
