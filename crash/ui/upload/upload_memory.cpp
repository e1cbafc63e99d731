#include "crash/ui/upload/upload_memory.h"

#include <mutex>
#include <utility>

namespace ostrel::upload {

namespace {

// Uploads run on delivery threads, so more than one may write at a time.
struct Memory {
  std::mutex lock;
  std::string httpError;
  std::string uploadResponse;
  std::u16string mantisIssue;
};

Memory& Kept() {
  static Memory memory;
  return memory;
}

}  // namespace

void RememberHttpError(std::string text) {
  std::lock_guard guard(Kept().lock);
  Kept().httpError = std::move(text);
}

std::string LastHttpError() {
  std::lock_guard guard(Kept().lock);
  return Kept().httpError;
}

void RememberUploadResponse(std::string text) {
  std::lock_guard guard(Kept().lock);
  Kept().uploadResponse = std::move(text);
}

std::string LastUploadResponse() {
  std::lock_guard guard(Kept().lock);
  return Kept().uploadResponse;
}

void RememberMantisIssue(std::u16string id) {
  std::lock_guard guard(Kept().lock);
  Kept().mantisIssue = std::move(id);
}

std::u16string LastMantisIssue() {
  std::lock_guard guard(Kept().lock);
  return Kept().mantisIssue;
}

}  // namespace ostrel::upload
