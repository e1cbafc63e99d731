#include "crash/ui/upload/http_exchange.h"

#include "crash/base/text_case.h"

namespace ostrel::upload {

bool SameHeaderName(std::string_view a, std::string_view b) { return EqualsNoCase(a, b); }

const std::string* HttpResponse::Header(std::string_view name) const {
  for (const HttpHeader& h : headers)
    if (SameHeaderName(h.name, name)) return &h.value;
  return nullptr;
}

}  // namespace ostrel::upload
