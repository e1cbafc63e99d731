#pragma once
// The mail program's command line for a mailto: link carrying recipients,
// subject and body.

#include <string>
#include <string_view>

namespace ostrel::delivery {

// UTF-8, every byte but ".", "@", digits and ASCII letters as %XX.
std::u16string PercentEncode(std::u16string_view text);

// "mailto:" + recipients + "?subject=" + subject + "&body=" + body.
// Recipients are normalised; for Outlook they are separated by ";".
std::u16string MailtoLink(std::u16string_view command, std::u16string_view recipients,
                          std::u16string_view subject, std::u16string_view body);

// The command with the link in place of "%1", or appended after a blank;
// cut to `limit` characters without splitting an escape.
std::u16string MailtoCommandLine(std::u16string_view command, std::u16string_view link,
                                 std::size_t limit = 32766);

}  // namespace ostrel::delivery
