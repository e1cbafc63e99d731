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

template <typename T>
void Keep(T Memory::*field, T value) {
  std::lock_guard guard(Kept().lock);
  Kept().*field = std::move(value);
}

template <typename T>
T Recall(T Memory::*field) {
  std::lock_guard guard(Kept().lock);
  return Kept().*field;
}

}  // namespace

void RememberHttpError(std::string text) { Keep(&Memory::httpError, std::move(text)); }
std::string LastHttpError() { return Recall(&Memory::httpError); }

void RememberUploadResponse(std::string text) { Keep(&Memory::uploadResponse, std::move(text)); }
std::string LastUploadResponse() { return Recall(&Memory::uploadResponse); }

void RememberMantisIssue(std::u16string id) { Keep(&Memory::mantisIssue, std::move(id)); }
std::u16string LastMantisIssue() { return Recall(&Memory::mantisIssue); }

}  // namespace ostrel::upload
