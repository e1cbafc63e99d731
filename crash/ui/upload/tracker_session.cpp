#include "crash/ui/upload/tracker_session.h"

#include <utility>

#include "crash/ui/upload/upload_memory.h"

namespace ostrel::upload {

SubmissionResult FailedSubmission(std::string error, SubmissionResult result) {
  result.ok = false;
  result.error = std::move(error);
  RememberHttpError(result.error);
  return result;
}

bool TrackerSession::Failed(std::string error) {
  error_ = std::move(error);
  return false;
}

SubmissionResult TrackerSession::Failure(SubmissionResult result) const {
  return FailedSubmission(error_, std::move(result));
}

SubmissionResult TrackerSession::Failure(std::string error) {
  Failed(std::move(error));
  return Failure();
}

}  // namespace ostrel::upload
