#pragma once
// A new Bugzilla bug over XML-RPC: the server checked, logged on, its
// products and fields read, the bug created, the files attached.
#include "crash/ui/upload/bugzilla_answers.h"
#include "crash/ui/upload/http_client.h"
#include "crash/ui/upload/tracker_entry.h"
#include "crash/ui/upload/upload_progress.h"

namespace ostrel::upload {

// The Bug.create call; credentials only when both account and password
// are set.
XmlRpcCall BugzillaCreateCall(const TrackerEntry& entry, const BugzillaLists& lists,
                              const TrackerAccount& account);

SubmissionResult SubmitToBugzilla(HttpClient& http, const TrackerAccount& account,
                                  const TrackerEntry& entry, IUploadProgress& progress);

}  // namespace ostrel::upload
