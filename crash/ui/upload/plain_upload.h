#pragma once
// The plain upload: the report's fields and attachment files as one
// multipart form posted to the configured address.
#include <string>
#include <vector>

#include "crash/settings/code_page.h"
#include "crash/ui/upload/http_client.h"
#include "crash/ui/upload/multipart_form.h"
#include "crash/ui/upload/tracker_entry.h"
#include "crash/ui/upload/upload_progress.h"

namespace ostrel::upload {

struct PlainUploadSwitches {
  bool rawUtf8Values = true;  // UTF-8 values unencoded, no transfer-encoding lines
  bool bareAddresses = true;  // "MailFrom" and "MailAddr" as bare addresses
  bool alwaysUtf8 = false;
};

// The fields as sent: with bareAddresses, "MailFrom" reduced to its bare
// address and "MailAddr" to a list of bare addresses.
std::vector<FormField> PlainUploadFields(std::vector<FormField> fields,
                                         const PlainUploadSwitches& switches);

// Posts the form to the server's path, with "From" naming the sender's
// address when there is one. The answer (entities decoded) is kept as the
// last upload's response; a redirect counts as success.
SubmissionResult UploadForm(HttpClient& http, std::u16string_view sender,
                            std::vector<FormField> fields, const std::vector<FormFile>& files,
                            const PlainUploadSwitches& switches, IUploadProgress& progress,
                            const ICodePage& codePage);

}  // namespace ostrel::upload
