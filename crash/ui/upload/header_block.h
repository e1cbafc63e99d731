#pragma once
// The response headers a system HTTP stack hands back as one block of text
// (its status line, then a line for each header), read into name and value
// as strictly and within the same limits as a response from a socket.
#include <string>
#include <string_view>
#include <vector>

#include "crash/ui/upload/http_exchange.h"
#include "crash/ui/upload/http_response_parser.h"

namespace ostrel::upload {

// The block's first line is taken for the status line whatever it says: the
// stack has read the status already. Lines end in CR LF; the blank line at
// the end may be there or not. False, with the reason, for a line that is no
// header or headers beyond the limits.
bool ReadHeaderBlock(std::string_view block, const HttpLimits& limits,
                     std::vector<HttpHeader>& headers, std::string& error);

}  // namespace ostrel::upload
