#include "crash/ui/delivery/mime_message.h"

#include <algorithm>

#include "crash/base/utf.h"
#include "crash/ui/delivery/base64.h"
#include "crash/ui/delivery/header_words.h"
#include "crash/ui/delivery/mail_date.h"
#include "crash/ui/delivery/mime_type.h"

namespace ostrel::delivery {

namespace {

constexpr std::size_t kSmtpLineLimit = 998;
constexpr std::size_t kBodyBase64Line = 76;

bool BodyIsUtf8(const MailMessage& message) { return message.forceUtf8 || !IsLatin1(message.body); }

// The body's bytes with every line break (CR LF, CR or LF) as CR LF.
std::string BodyBytes(const MailMessage& message) {
  std::u16string text;
  const std::u16string& body = message.body;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == u'\r' || body[i] == u'\n') {
      if (body[i] == u'\r' && i + 1 < body.size() && body[i + 1] == u'\n') ++i;
      text += u"\r\n";
    } else {
      text += body[i];
    }
  }
  if (BodyIsUtf8(message)) return Utf16ToUtf8(text);
  std::string bytes;
  bytes.reserve(text.size());
  for (char16_t c : text) bytes += static_cast<char>(c);
  return bytes;
}

bool EightBitsCarry(const std::string& bytes) {
  const std::string delimiter = std::string("--") + kMultipartBoundary;
  std::size_t start = 0;
  while (start <= bytes.size()) {
    std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    const std::string_view line(bytes.data() + start, end - start);
    if (line.size() > kSmtpLineLimit || line.find('\0') != std::string_view::npos ||
        line.starts_with(delimiter))
      return false;
    start = end + 2;
  }
  return true;
}

std::string FileNameParameter(const char* parameter, const std::u16string& name) {
  std::string text = std::string(parameter) + "=";
  if (IsPrintableAscii(name)) return text + QuotedString(name);
  // Words inside the quotation marks; a fold between them unfolds to a
  // blank, which decoders drop between adjacent encoded words.
  std::string words;
  for (const std::string& word : Utf8EncodedWords(name)) words += (words.empty() ? "" : " ") + word;
  return text + "\"" + words + "\"";
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

}  // namespace

BodyEncoding ChooseBodyEncoding(const MailMessage& message) {
  if (BodyIsUtf8(message)) return {"utf-8", "base64"};
  return {"iso-8859-1", EightBitsCarry(BodyBytes(message)) ? "8bit" : "base64"};
}

std::string MessageHead(const MailMessage& message) {
  std::string head;
  std::vector<std::string> to;
  for (std::size_t i = 0; i < message.to.size(); ++i) {
    std::vector<std::string> tokens = HeaderAddressTokens(message.to[i], message.forceUtf8);
    if (i + 1 < message.to.size()) tokens.back() += ',';
    to.insert(to.end(), tokens.begin(), tokens.end());
  }
  head += FoldHeader("To", to);
  head += FoldHeader("From", HeaderAddressTokens(message.from, message.forceUtf8));
  head += FoldHeader("Reply-To", HeaderAddressTokens(message.replyTo, message.forceUtf8));
  head += FoldHeader("Subject", message.forceUtf8 || !IsLatin1(message.subject)
                                    ? Utf8EncodedWords(message.subject)
                                    : Latin1EncodedWords(message.subject));
  head += "Date: " + MailDateText(message.fileTime) + "\r\n";
  head += "Message-ID: " + MessageIdText(message.fileTime) + "\r\n";
  head += "MIME-Version: 1.0\r\n";
  head += std::string("Content-Type: multipart/mixed; boundary=\"") + kMultipartBoundary + "\"\r\n";
  head += "\r\nThis is a multi-part message in MIME format.\r\n\r\n";
  head += std::string("--") + kMultipartBoundary + "\r\n";
  const BodyEncoding encoding = ChooseBodyEncoding(message);
  head += std::string("Content-Type: text/plain; charset=\"") + encoding.charset + "\"\r\n";
  head += std::string("Content-Transfer-Encoding: ") + encoding.transfer + "\r\n\r\n";
  const std::string body = BodyBytes(message);
  if (std::string_view(encoding.transfer) == "8bit") {
    head += body;
  } else {
    const std::string encoded = EncodeBase64(body);
    for (std::size_t i = 0; i < encoded.size(); i += kBodyBase64Line)
      head +=
          encoded.substr(i, kBodyBase64Line) + (i + kBodyBase64Line < encoded.size() ? "\r\n" : "");
  }
  return head + "\r\n";
}

std::string AttachmentHead(const std::u16string& name) {
  std::string head = std::string("--") + kMultipartBoundary + "\r\n";
  std::vector<std::string> type = {std::string(MimeTypeOf(name)) + ";"};
  for (std::string& word : Words(FileNameParameter("name", name))) type.push_back(std::move(word));
  head += FoldHeader("Content-Type", type);
  head += "Content-Transfer-Encoding: base64\r\n";
  head += FoldHeader("Content-Disposition", [&] {
    std::vector<std::string> tokens = {"attachment;"};
    for (std::string& word : Words(FileNameParameter("filename", name)))
      tokens.push_back(std::move(word));
    return tokens;
  }());
  return head + "\r\n";
}

std::string AttachmentLine(std::span<const std::uint8_t> piece) {
  return EncodeBase64(piece) + "\r\n";
}

std::string MessageEnd() { return std::string("--") + kMultipartBoundary + "--\r\n\r\n"; }

std::string BuildMimeMessage(const MailMessage& message) {
  std::string text = MessageHead(message);
  for (const MailAttachment& attachment : message.attachments) {
    text += AttachmentHead(attachment.name);
    const std::span<const std::uint8_t> bytes(attachment.bytes);
    for (std::size_t at = 0; at < bytes.size(); at += kAttachmentPiece)
      text += AttachmentLine(bytes.subspan(at, std::min(kAttachmentPiece, bytes.size() - at)));
  }
  return text + MessageEnd();
}

}  // namespace ostrel::delivery
