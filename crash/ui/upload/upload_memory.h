#pragma once
// What the process keeps of its uploads, for diagnosis: the last HTTP
// error, the last plain upload's answer and the last Mantis issue created.
#include <string>

namespace ostrel::upload {

void RememberHttpError(std::string text);
std::string LastHttpError();

void RememberUploadResponse(std::string text);
std::string LastUploadResponse();

void RememberMantisIssue(std::u16string id);
std::u16string LastMantisIssue();

}  // namespace ostrel::upload
