#include "crash/ui/upload/header_block.h"

namespace ostrel::upload {

bool ReadHeaderBlock(std::string_view block, const HttpLimits& limits,
                     std::vector<HttpHeader>& headers, std::string& error) {
  const std::size_t firstEnd = block.find("\r\n");
  std::string_view rest =
      firstEnd == std::string_view::npos ? std::string_view() : block.substr(firstEnd + 2);
  while (rest.ends_with("\r\n")) rest.remove_suffix(2);
  // A status line of our own, so that the reader judges the header lines
  // only; as the answer to a HEAD it wants no body after them.
  std::string text = "HTTP/1.1 200 OK\r\n";
  text.append(rest);
  text += rest.empty() ? "\r\n" : "\r\n\r\n";
  HttpResponseParser parser(limits, /*answersHead=*/true);
  if (parser.Feed(text) != HttpResponseParser::State::Done) {
    error = parser.Current() == HttpResponseParser::State::Failed ? parser.Error()
                                                                  : "the headers are incomplete";
    return false;
  }
  headers = parser.TakeResponse().headers;
  return true;
}

}  // namespace ostrel::upload
