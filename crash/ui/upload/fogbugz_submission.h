#pragma once
// A new FogBugz case: the server checked, logged on, its lists read, the
// case created with the files as one form, logged off.
#include "crash/settings/code_page.h"
#include "crash/ui/upload/http_client.h"
#include "crash/ui/upload/tracker_entry.h"
#include "crash/ui/upload/tracker_lists.h"
#include "crash/ui/upload/upload_progress.h"

namespace ostrel::upload {

struct FogBugzLists {
  TrackerList projects, areas, categories, priorities, people;
};

// The case's fields in the order they are sent (files not included).
std::vector<FormField> FogBugzCaseFields(const TrackerEntry& entry, const FogBugzLists& lists,
                                         const std::u16string& token);

SubmissionResult SubmitToFogBugz(HttpClient& http, const TrackerAccount& account,
                                 const TrackerEntry& entry, IUploadProgress& progress,
                                 const ICodePage& codePage, bool alwaysUtf8 = false);

}  // namespace ostrel::upload
