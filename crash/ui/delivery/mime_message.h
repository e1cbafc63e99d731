#pragma once
// The mail message: a multipart/mixed MIME message with the text part
// first and every attachment after it in Base64. Built in pieces, so that
// SMTP can send the attachments piece by piece and show its progress.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "crash/ui/delivery/mail_address.h"

namespace ostrel::delivery {

// One fixed text; "=_" cannot occur in Base64, and a text body that holds
// the delimiter is sent in Base64 (see MessageHead). HTTP uploads use it too.
inline constexpr const char* kMultipartBoundary = "----=_Ostrel_Mixed_6C1F9A03";

// Attachments go out in pieces of 255 bytes, one Base64 line of 340
// characters each.
constexpr std::size_t kAttachmentPiece = 255;

struct MailAttachment {
  std::u16string name;  // the file name the recipient sees
  std::vector<std::uint8_t> bytes;
};

struct MailMessage {
  MailAddress from;
  std::vector<MailAddress> to;
  MailAddress replyTo;
  std::u16string subject;
  std::u16string body;
  std::vector<MailAttachment> attachments;
  std::uint64_t fileTime = 0;  // UTC, for Date and Message-ID
  bool forceUtf8 = false;      // UTF-8 for header words and body even when Latin-1 would do
};

// How the text part goes: "iso-8859-1" and "8bit", or "utf-8" and "base64"
// when the body is not Latin-1 (or UTF-8 is forced). A body that 8 bits
// cannot carry through SMTP (a line over 998 bytes, a NUL, the boundary's
// delimiter) keeps its charset and goes in Base64.
struct BodyEncoding {
  const char* charset;
  const char* transfer;
};
BodyEncoding ChooseBodyEncoding(const MailMessage& message);

// The header, the preamble and the text part; every line ends in CR LF.
std::string MessageHead(const MailMessage& message);
// The delimiter and headers of one attachment, up to its empty line.
std::string AttachmentHead(const std::u16string& name);
// One piece (at most kAttachmentPiece bytes) as one line.
std::string AttachmentLine(std::span<const std::uint8_t> piece);
// The closing delimiter and an empty line.
std::string MessageEnd();

// The whole message, as SMTP sends it before its transparency rule.
std::string BuildMimeMessage(const MailMessage& message);

}  // namespace ostrel::delivery
