#pragma once
// What the submissions share: a request that fails ends the submission,
// and its text becomes the submission's error, kept as the last HTTP error
// for diagnosis; the trackers' conversations keep it in a session.
#include <string>

#include "crash/ui/upload/http_client.h"
#include "crash/ui/upload/tracker_entry.h"

namespace ostrel::upload {

// `result` as failed with `error`, which is remembered as the last HTTP
// error; an id it has names what was created before the failure.
SubmissionResult FailedSubmission(std::string error, SubmissionResult result = {});

class TrackerSession {
 public:
  explicit TrackerSession(HttpClient& http) : http_(http) {}

  // Always false, so that a failing request can end with it.
  bool Failed(std::string error);
  const std::string& Error() const { return error_; }

  // The submission after the latest failure.
  SubmissionResult Failure(SubmissionResult result = {}) const;
  // The submission after a failure found in an answer.
  SubmissionResult Failure(std::string error);

 protected:
  HttpClient& http_;

 private:
  std::string error_;
};

}  // namespace ostrel::upload
