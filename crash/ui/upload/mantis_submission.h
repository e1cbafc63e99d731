#pragma once
// A new Mantis issue over SOAP: the server checked, logged on with the
// project list, every project's categories, versions and users read, the
// issue added, the files attached.
#include "crash/ui/upload/http_client.h"
#include "crash/ui/upload/soap_call.h"
#include "crash/ui/upload/tracker_entry.h"
#include "crash/ui/upload/tracker_lists.h"
#include "crash/ui/upload/upload_progress.h"

namespace ostrel::upload {

struct MantisLists {
  TrackerList projects;                     // with ids
  TrackerList categories, versions, users;  // each with its project; users with ids
  TrackerList priorities, severities;       // with ids
};

// The mc_issue_add call. Throws std::invalid_argument when no project can
// be named.
SoapCall MantisIssueCall(const TrackerEntry& entry, const MantisLists& lists,
                         const TrackerAccount& account);

SubmissionResult SubmitToMantis(HttpClient& http, const TrackerAccount& account,
                                const TrackerEntry& entry, IUploadProgress& progress);

}  // namespace ostrel::upload
