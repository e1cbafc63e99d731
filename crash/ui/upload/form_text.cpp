#include "crash/ui/upload/form_text.h"

#include "crash/base/hex.h"
#include "crash/base/utf.h"
#include "crash/ui/delivery/base64.h"

namespace ostrel::upload {

bool FitsCodePage(std::u16string_view text, const ICodePage& codePage) {
  return codePage.Widen(codePage.Narrow(text)) == text;
}

std::string EncodedWord(std::u16string_view text) {
  return "=?UTF-8?B?" + delivery::EncodeBase64(Utf16ToUtf8(text)) + "?=";
}

std::string HeaderParameterText(std::u16string_view name, const ICodePage& codePage,
                                bool alwaysUtf8) {
  bool plain = !alwaysUtf8 && FitsCodePage(name, codePage);
  for (char16_t c : name)
    if (c < u' ' || c == 0x7f || c == u'"' || c == u'\\') plain = false;
  return plain ? codePage.Narrow(name) : EncodedWord(name);
}

std::string PercentEncoded(std::u16string_view text) {
  std::string out;
  for (char c : Utf16ToUtf8(text)) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      out += c;
    } else {
      out += '%';
      out += HexText(static_cast<unsigned char>(c), 2, true);
    }
  }
  return out;
}

}  // namespace ostrel::upload
