#pragma once
// What a bug-tracker submission sends, and what comes of it.
#include <string>
#include <vector>

#include "crash/ui/upload/multipart_form.h"

namespace ostrel::upload {

struct TrackerEntry {
  std::u16string title;        // BugTrTitle
  std::u16string description;  // BugTrDescr
  std::u16string project;      // BugTrProject
  std::u16string area;         // BugTrArea
  std::u16string assignTo;     // BugTrAssignTo
  // The report's header fields "version", "computer name", "operating
  // system" and "callstack crc".
  std::u16string version, computerName, operatingSystem, callstackCrc;
  std::u16string sender;
  std::vector<FormFile> files;  // the opened attachment files, in order
};

struct TrackerAccount {
  std::u16string account;   // BugTrAccount
  std::u16string password;  // BugTrPassword
};

struct SubmissionResult {
  bool ok = false;
  std::u16string id;  // of the new case, bug or issue, once there is one
  std::string error;  // why it failed, for diagnosis
};

}  // namespace ostrel::upload
