#include "crash/ui/upload/multipart_form.h"

#include <stdexcept>

#include "crash/base/hex.h"
#include "crash/base/utf.h"
#include "crash/ui/delivery/base64.h"
#include "crash/ui/upload/form_text.h"

namespace ostrel::upload {

namespace {

constexpr char kCrLf[] = "\r\n";

void AppendField(std::string& body, const std::string& boundary, const FormField& field,
                 const FormEncoding& encoding, const ICodePage& codePage) {
  const bool inCodePage = !encoding.alwaysUtf8 && FitsCodePage(field.value, codePage);
  body += kCrLf;
  body += "--" + boundary + kCrLf;
  body += "Content-Disposition: form-data; name=\"" +
          HeaderParameterText(field.name, codePage, encoding.alwaysUtf8) + "\"" + kCrLf;
  body += std::string("Content-Type: text/plain; charset=\"") +
          (inCodePage ? "iso-8859-1" : "utf-8") + "\"" + kCrLf;
  if (!encoding.rawUtf8Values)
    body += std::string("Content-Transfer-Encoding: ") + (inCodePage ? "8bit" : "base64") + kCrLf;
  body += kCrLf;
  if (inCodePage)
    body += codePage.Narrow(field.value);
  else if (encoding.rawUtf8Values)
    body += Utf16ToUtf8(field.value);
  else
    body += delivery::EncodeBase64(Utf16ToUtf8(field.value));
}

void AppendFile(std::string& body, const std::string& boundary, const FormFile& file,
                const FormEncoding& encoding, const ICodePage& codePage) {
  body += kCrLf;
  body += "--" + boundary + kCrLf;
  body += "Content-Disposition: form-data; name=\"" +
          HeaderParameterText(file.fieldName, codePage, encoding.alwaysUtf8) + "\"; filename=\"" +
          HeaderParameterText(file.fileName, codePage, encoding.alwaysUtf8) + "\"" + kCrLf;
  body += std::string("Content-Type: application/octet-stream") + kCrLf + kCrLf;
  body += file.bytes;
}

std::size_t Occurrences(const std::string& body, const std::string& text) {
  std::size_t count = 0;
  for (std::size_t at = body.find(text); at != std::string::npos; at = body.find(text, at + 1))
    ++count;
  return count;
}

}  // namespace

MultipartForm BuildMultipartForm(const std::vector<FormField>& fields,
                                 const std::vector<FormFile>& files, const FormEncoding& encoding,
                                 const ICodePage& codePage) {
  // A report that quotes an earlier upload (or a file that holds one) could
  // carry the fixed boundary; then a variant no part holds is used.
  constexpr int kVariants = 16;
  for (int variant = 0; variant < kVariants; ++variant) {
    MultipartForm form;
    form.boundary = kMultipartBoundary;
    if (variant > 0) form.boundary += "_" + HexText(static_cast<unsigned>(variant), 2, true);
    for (const FormField& field : fields)
      AppendField(form.body, form.boundary, field, encoding, codePage);
    for (const FormFile& file : files) {
      AppendFile(form.body, form.boundary, file, encoding, codePage);
      form.fileEnds.push_back(form.body.size());
    }
    form.body += kCrLf;
    form.body += "--" + form.boundary + "--" + kCrLf;
    if (Occurrences(form.body, "--" + form.boundary) != fields.size() + files.size() + 1) continue;
    form.contentType = "multipart/form-data; boundary=" + form.boundary;
    return form;
  }
  throw std::invalid_argument("the form's content holds every multipart boundary tried");
}

}  // namespace ostrel::upload
