#include "crash/ui/upload/plain_upload.h"

#include <stdexcept>

#include "crash/base/utf.h"
#include "crash/ui/upload/mail_address.h"
#include "crash/ui/upload/tracker_session.h"
#include "crash/ui/upload/upload_memory.h"
#include "crash/ui/upload/xml_escape.h"

namespace ostrel::upload {

namespace {

std::u16string WithoutAngleBrackets(std::u16string text) {
  std::erase(text, u'<');
  std::erase(text, u'>');
  return text;
}

}  // namespace

std::vector<FormField> PlainUploadFields(std::vector<FormField> fields,
                                         const PlainUploadSwitches& switches) {
  if (!switches.bareAddresses) return fields;
  for (FormField& f : fields) {
    if (f.name == u"MailFrom")
      f.value = WithoutAngleBrackets(AddressPart(f.value));
    else if (f.name == u"MailAddr")
      f.value = BareAddresses(f.value);
  }
  return fields;
}

SubmissionResult UploadForm(HttpClient& http, std::u16string_view sender,
                            std::vector<FormField> fields, const std::vector<FormFile>& files,
                            const PlainUploadSwitches& switches, IUploadProgress& progress,
                            const ICodePage& codePage) {
  std::vector<ProgressArea> areas{{ProgressText::PrepareAttachments, 500},
                                  {ProgressText::Connect, 5000}};
  for (const FormFile& f : files)
    areas.push_back({ProgressText::SendAttachment, f.bytes.size() / 16});
  areas.push_back({ProgressText::SendFinal, 1000});
  progress.SetAreas(areas);
  progress.NextArea();
  progress.NextArea();

  MultipartForm form;
  try {
    form = BuildMultipartForm(PlainUploadFields(std::move(fields), switches), files,
                              FormEncoding{switches.rawUtf8Values, switches.alwaysUtf8}, codePage);
  } catch (const std::invalid_argument& e) {
    return FailedSubmission(e.what());
  }
  std::vector<HttpHeader> headers;
  if (!sender.empty()) headers.push_back({"From", Utf16ToUtf8(AddressPart(sender))});
  HttpResult answer =
      http.Post(http.Server().Target(), form.contentType, std::move(form.body), std::move(headers));
  for (std::size_t i = 0; i < files.size(); ++i) progress.NextArea();
  RememberUploadResponse(DecodeXmlEntities(answer.body));
  if (!answer.ok) return FailedSubmission(answer.error);
  progress.NextArea();
  SubmissionResult result;
  result.ok = true;
  return result;
}

}  // namespace ostrel::upload
