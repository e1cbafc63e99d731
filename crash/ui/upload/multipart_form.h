#pragma once
// The multipart/form-data body of a plain upload and of a FogBugz case:
// text fields first, then the files, each in a part of its own.
#include <cstddef>
#include <string>
#include <vector>

#include "crash/settings/code_page.h"

namespace ostrel::upload {

struct FormField {
  std::u16string name;
  std::u16string value;
};

struct FormFile {
  std::u16string fieldName;
  std::u16string fileName;  // the attachment name the server sees
  std::string bytes;
};

struct FormEncoding {
  // A plain upload with the switch for unencoded UTF-8 values on: a value
  // beyond the code page goes as UTF-8 bytes, and no field has a
  // Content-Transfer-Encoding line.
  bool rawUtf8Values = false;
  // The always-UTF-8 switch: values and names as UTF-8 even where the code
  // page would do.
  bool alwaysUtf8 = false;
};

// The one boundary every multipart message of the reporter uses, mail and
// form alike. Token characters only: the form's Content-Type names it
// without quotation marks.
inline constexpr char kMultipartBoundary[] = "----OstrelBoundary5E1C07A9B3D24F68";

struct MultipartForm {
  std::string boundary;     // kMultipartBoundary unless the content holds it
  std::string contentType;  // "multipart/form-data; boundary=" + boundary
  std::string body;
  // Where each file's bytes end in the body: a sender that reports progress
  // starts the next area there.
  std::vector<std::size_t> fileEnds;
};

// Throws std::invalid_argument when the content holds the fixed boundary
// and every variant of it tried (only made-up content can).
MultipartForm BuildMultipartForm(const std::vector<FormField>& fields,
                                 const std::vector<FormFile>& files, const FormEncoding& encoding,
                                 const ICodePage& codePage);

}  // namespace ostrel::upload
