#include "crash/ui/exception_box/box_text.h"

namespace ostrel::box {

std::u16string BreakMessageLines(std::u16string message) {
  const std::size_t length = message.size();
  if (length < 30) return message;
  // Backwards, so that an insertion does not move the positions still to come.
  for (std::size_t p = length - 10; p >= 20; --p) {
    if (message[p - 1] == u'.' && message[p] == u' ') {
      message[p] = u'\r';
      message.insert(p + 1, 1, u'\n');
    }
  }
  return message;
}

}  // namespace ostrel::box
