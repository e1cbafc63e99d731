// libFuzzer target: the HTTP response reader. The first byte sets the size
// of the pieces the rest arrives in; read whole or in pieces, a response
// must come out the same, within the limits.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "crash/ui/upload/http_response_parser.h"

namespace {

using ostrel::upload::HttpLimits;
using ostrel::upload::HttpResponseParser;
using State = HttpResponseParser::State;

void Trap(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = data[0] % 64 + 1;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  HttpLimits limits;
  limits.maxLine = 256;
  limits.maxHeaderBytes = 1024;
  limits.maxHeaders = 16;
  limits.maxBody = 4096;

  HttpResponseParser whole(limits), pieces(limits);
  State a = whole.Feed(text);
  for (std::size_t at = 0; at < text.size(); at += piece) pieces.Feed(text.substr(at, piece));
  const bool closed = data[0] & 0x80;
  if (closed) {
    a = whole.Finish();
    pieces.Finish();
  }
  Trap(a == pieces.Current());
  Trap(whole.Error() == pieces.Error());
  Trap((a == State::Failed) == !whole.Error().empty());
  const auto& r = whole.Response();
  Trap(r.body == pieces.Response().body);
  Trap(r.body.size() <= limits.maxBody);
  Trap(r.headers.size() <= limits.maxHeaders);
  if (a == State::Done) {
    Trap(r.status >= 200 && r.status <= 999);
    Trap(r.status == pieces.Response().status);
    Trap(r.headers.size() == pieces.Response().headers.size());
  }
  return 0;
}
