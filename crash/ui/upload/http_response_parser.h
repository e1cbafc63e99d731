#pragma once
// A strict HTTP/1.1 response reader for a socket transport: status line,
// headers, a body by Content-Length, chunks or the end of the connection,
// within limits. Fed in pieces as they arrive; anything it does not
// understand fails with a reason rather than being guessed at.
#include <cstddef>
#include <string>
#include <string_view>

#include "crash/ui/upload/http_exchange.h"

namespace ostrel::upload {

struct HttpLimits {
  std::size_t maxLine = 8192;          // a status, header or chunk-size line
  std::size_t maxHeaderBytes = 65536;  // all header lines together, trailers too
  std::size_t maxHeaders = 100;
  std::size_t maxBody = 64u << 20;
};

class HttpResponseParser {
 public:
  enum class State { NeedMore, Done, Failed };

  explicit HttpResponseParser(HttpLimits limits = {}, bool answersHead = false);

  // The next bytes from the connection. Bytes after a complete response are
  // ignored.
  State Feed(std::string_view bytes);
  // The connection has ended: a body that runs to its end is complete, any
  // other unfinished response fails.
  State Finish();

  State Current() const { return state_; }
  const std::string& Error() const { return error_; }
  // The response so far; complete once Done.
  const HttpResponse& Response() const { return response_; }
  HttpResponse TakeResponse() { return std::move(response_); }

 private:
  enum class Phase { Status, Headers, Length, ChunkSize, ChunkData, ChunkEnd, Trailers, ToClose };

  State Fail(std::string reason);
  bool Refuse(std::string reason);
  bool NextLine(std::string_view& line);
  void Run();
  bool StatusLine(std::string_view line);
  bool HeaderLine(std::string_view line, bool trailer);
  bool HeadersDone();
  bool ChunkSizeLine(std::string_view line);
  void TakeBody(std::size_t count);
  bool AddBody(std::string_view bytes);

  HttpLimits limits_;
  bool answersHead_;
  State state_ = State::NeedMore;
  Phase phase_ = Phase::Status;
  std::string error_;
  std::string pending_;  // bytes not yet consumed, from offset_
  std::size_t offset_ = 0;
  std::size_t headerBytes_ = 0, headerCount_ = 0, interim_ = 0;
  std::size_t remaining_ = 0;  // of the body or of the current chunk
  HttpResponse response_;
};

}  // namespace ostrel::upload
