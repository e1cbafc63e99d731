#include "crash/ui/upload/http_response_parser.h"

#include <algorithm>

namespace ostrel::upload {

namespace {

bool IsTokenCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsBadValueCharacter(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b < 0x20 && b != '\t') || b == 0x7f;
}

std::string_view TrimmedBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

HttpResponseParser::HttpResponseParser(HttpLimits limits, bool answersHead)
    : limits_(limits), answersHead_(answersHead) {}

HttpResponseParser::State HttpResponseParser::Fail(std::string reason) {
  state_ = State::Failed;
  error_ = std::move(reason);
  pending_.clear();
  offset_ = 0;
  return state_;
}

bool HttpResponseParser::Refuse(std::string reason) {
  Fail(std::move(reason));
  return false;
}

HttpResponseParser::State HttpResponseParser::Feed(std::string_view bytes) {
  if (state_ != State::NeedMore) return state_;
  pending_.erase(0, offset_);
  offset_ = 0;
  pending_.append(bytes);
  Run();
  return state_;
}

HttpResponseParser::State HttpResponseParser::Finish() {
  if (state_ != State::NeedMore) return state_;
  if (phase_ == Phase::ToClose) {
    state_ = State::Done;
    return state_;
  }
  return Fail("the connection ended before the response did");
}

// A whole line without its CR LF; false when it has not all arrived yet (or
// the parser failed on it).
bool HttpResponseParser::NextLine(std::string_view& line) {
  const std::size_t end = pending_.find('\n', offset_);
  if (end == std::string::npos) {
    if (pending_.size() - offset_ > limits_.maxLine) Fail("a line of the response is too long");
    return false;
  }
  if (end - offset_ > limits_.maxLine) return Refuse("a line of the response is too long");
  if (end == offset_ || pending_[end - 1] != '\r')
    return Refuse("a line of the response does not end in CR LF");
  line = std::string_view(pending_).substr(offset_, end - 1 - offset_);
  offset_ = end + 1;
  return true;
}

void HttpResponseParser::Run() {
  while (state_ == State::NeedMore) {
    std::string_view line;
    switch (phase_) {
      case Phase::Status:
        if (!NextLine(line) || !StatusLine(line)) return;
        phase_ = Phase::Headers;
        break;
      case Phase::Headers:
      case Phase::Trailers: {
        if (!NextLine(line)) return;
        const bool trailer = phase_ == Phase::Trailers;
        if (!line.empty()) {
          if (!HeaderLine(line, trailer)) return;
        } else if (trailer) {
          state_ = State::Done;
        } else if (!HeadersDone()) {
          return;
        }
        break;
      }
      case Phase::ChunkSize:
        if (!NextLine(line) || !ChunkSizeLine(line)) return;
        break;
      case Phase::Length:
      case Phase::ChunkData:
        if (offset_ == pending_.size()) return;
        TakeBody(std::min(remaining_, pending_.size() - offset_));
        if (remaining_ > 0) break;
        if (phase_ == Phase::Length)
          state_ = State::Done;
        else
          phase_ = Phase::ChunkEnd;
        break;
      case Phase::ChunkEnd:
        if (!NextLine(line)) return;
        if (!line.empty()) {
          Refuse("a chunk is longer than its size says");
          return;
        }
        phase_ = Phase::ChunkSize;
        break;
      case Phase::ToClose:
        if (!AddBody(std::string_view(pending_).substr(offset_))) return;
        offset_ = pending_.size();
        return;
    }
  }
}

bool HttpResponseParser::StatusLine(std::string_view line) {
  if (!(line.starts_with("HTTP/1.1 ") || line.starts_with("HTTP/1.0 ")))
    return Refuse("the response does not start with an HTTP/1.x status line");
  const std::string_view code = line.substr(9, 3);
  if (code.size() != 3 ||
      !std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return Refuse("the status line has no three-digit status");
  if (line.size() > 12 && line[12] != ' ') return Refuse("the status is not followed by a blank");
  if (std::any_of(line.begin(), line.end(), IsBadValueCharacter))
    return Refuse("the status line holds a control character");
  response_.status = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
  if (response_.status < 100) return Refuse("the status is below 100");
  return true;
}

bool HttpResponseParser::HeaderLine(std::string_view line, bool trailer) {
  headerBytes_ += line.size() + 2;
  if (headerBytes_ > limits_.maxHeaderBytes) return Refuse("the response's headers are too long");
  if (++headerCount_ > limits_.maxHeaders) return Refuse("the response has too many headers");
  if (line[0] == ' ' || line[0] == '\t') return Refuse("a folded header line");
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return Refuse("a header line without a name");
  const std::string_view name = line.substr(0, colon);
  if (!std::all_of(name.begin(), name.end(), IsTokenCharacter))
    return Refuse("a header name holds a character no name has");
  const std::string_view value = TrimmedBlanks(line.substr(colon + 1));
  if (std::any_of(value.begin(), value.end(), IsBadValueCharacter))
    return Refuse("a header value holds a control character");
  // Trailers are read for their limits only: nothing the response says
  // about itself may change after its body.
  if (!trailer) response_.headers.push_back({std::string(name), std::string(value)});
  return true;
}

bool HttpResponseParser::HeadersDone() {
  if (response_.status < 200) {
    if (response_.status == 101) return Refuse("the server switched protocols");
    // An interim answer (100 Continue): the real one follows.
    if (++interim_ > 8) return Refuse("too many interim responses");
    response_ = HttpResponse{};
    headerBytes_ = headerCount_ = 0;
    phase_ = Phase::Status;
    return true;
  }
  const std::string* coding = nullptr;
  const std::string* length = nullptr;
  for (const HttpHeader& h : response_.headers) {
    if (SameHeaderName(h.name, "Transfer-Encoding")) {
      if (coding != nullptr) return Refuse("more than one Transfer-Encoding");
      coding = &h.value;
    } else if (SameHeaderName(h.name, "Content-Length")) {
      if (length != nullptr && *length != h.value) return Refuse("Content-Lengths that differ");
      length = &h.value;
    }
  }
  if (answersHead_ || response_.status == 204 || response_.status == 304) {
    state_ = State::Done;
    return true;
  }
  if (coding != nullptr) {
    if (length != nullptr) return Refuse("both Transfer-Encoding and Content-Length");
    if (!SameHeaderName(*coding, "chunked")) return Refuse("a transfer coding other than chunked");
    phase_ = Phase::ChunkSize;
    return true;
  }
  if (length == nullptr) {
    phase_ = Phase::ToClose;
    return true;
  }
  if (length->empty() || length->size() > 19 ||
      !std::all_of(length->begin(), length->end(), [](char c) { return c >= '0' && c <= '9'; }))
    return Refuse("a Content-Length that is not a number");
  const unsigned long long size = std::stoull(*length);
  if (size > limits_.maxBody) return Refuse("the response's body is too large");
  remaining_ = static_cast<std::size_t>(size);
  if (remaining_ == 0)
    state_ = State::Done;
  else
    phase_ = Phase::Length;
  return true;
}

bool HttpResponseParser::ChunkSizeLine(std::string_view line) {
  const std::string_view size = TrimmedBlanks(line.substr(0, line.find(';')));
  if (size.empty() || size.size() > 15) return Refuse("a chunk size that is not a number");
  std::size_t value = 0;
  for (char c : size) {
    const int digit = HexValue(c);
    if (digit < 0) return Refuse("a chunk size that is not a number");
    value = value * 16 + static_cast<std::size_t>(digit);
    if (value > limits_.maxBody) return Refuse("the response's body is too large");
  }
  if (response_.body.size() + value > limits_.maxBody)
    return Refuse("the response's body is too large");
  if (value == 0) {
    phase_ = Phase::Trailers;
  } else {
    remaining_ = value;
    phase_ = Phase::ChunkData;
  }
  return true;
}

void HttpResponseParser::TakeBody(std::size_t count) {
  response_.body.append(pending_, offset_, count);
  offset_ += count;
  remaining_ -= count;
}

bool HttpResponseParser::AddBody(std::string_view bytes) {
  if (response_.body.size() + bytes.size() > limits_.maxBody)
    return Refuse("the response's body is too large");
  response_.body.append(bytes);
  return true;
}

}  // namespace ostrel::upload
