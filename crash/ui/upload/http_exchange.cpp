#include "crash/ui/upload/http_exchange.h"

namespace ostrel::upload {

bool SameHeaderName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

const std::string* HttpResponse::Header(std::string_view name) const {
  for (const HttpHeader& h : headers)
    if (SameHeaderName(h.name, name)) return &h.value;
  return nullptr;
}

}  // namespace ostrel::upload
