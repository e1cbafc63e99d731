#include "crash/ui/delivery/mime_type.h"

#include <string>

#include "crash/base/text_case.h"

namespace ostrel::delivery {

std::string_view MimeTypeOf(std::u16string_view fileName) {
  const std::size_t dot = fileName.rfind(u'.');
  if (dot == std::u16string_view::npos) return "application/octet-stream";
  std::u16string extension(fileName.substr(dot + 1));
  for (char16_t& c : extension) c = AsciiLower(c);
  if (extension == u"txt" || extension == u"obr" || extension == u"ini") return "text/plain";
  if (extension == u"jpg" || extension == u"jpeg") return "image/jpeg";
  if (extension == u"png") return "image/png";
  if (extension == u"zip") return "application/zip";
  return "application/octet-stream";
}

}  // namespace ostrel::delivery
