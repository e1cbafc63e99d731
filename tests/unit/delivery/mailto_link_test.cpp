#include "crash/ui/delivery/mail_address.h"

#include <gtest/gtest.h>

#include "crash/ui/delivery/mailto_link.h"

namespace ostrel::delivery {
namespace {

TEST(MailAddresses, DefaultSenderUsesOnlyTheFirstAddress) {
  EXPECT_EQ(DefaultSender(u"help@pelmora.example; other@x.org"), u"Ostrel <help@pelmora.example>");
  EXPECT_EQ(DefaultSender(u"Support Team <help@x.org>, b@y.org"), u"Ostrel <help@x.org>");
  EXPECT_EQ(DefaultSender(u""), u"");
}

TEST(MailAddresses, MapiNamesAndAddresses) {
  const MapiAddress named = SplitForMapi(u"Support Team <help@x.org> (desk)");
  EXPECT_EQ(named.name, u"Support Team");
  EXPECT_EQ(named.address, u"SMTP:help@x.org");
  const MapiAddress bare = SplitForMapi(u"help@x.org");
  EXPECT_EQ(bare.name, u"help@x.org");
  EXPECT_EQ(bare.address, u"SMTP:help@x.org");
}

TEST(MailtoLink, EscapesAllButLettersDigitsDotAndAt) {
  EXPECT_EQ(PercentEncode(u"a b,c@d.e"), u"a%20b%2Cc@d.e");
  EXPECT_EQ(PercentEncode(u"\u00e4&\r\n"), u"%C3%A4%26%0D%0A");
  EXPECT_EQ(MailtoLink(u"mail.exe %1", u"a@x.org; b@y.org", u"bug report", u"see <admin>"),
            u"mailto:a@x.org%2Cb@y.org?subject=bug%20report&body=see%20%3Cadmin%3E");
  // Outlook wants ";" between recipients.
  EXPECT_EQ(MailtoLink(u"C:\\Office\\OUTLOOK.EXE /c ipm.note /m %1", u"a@x.org, b@y.org", u"", u""),
            u"mailto:a@x.org%3Bb@y.org?subject=&body=");
}

TEST(MailtoLink, CommandLinesTakeTheLinkAndAreCutBetweenEscapes) {
  EXPECT_EQ(MailtoCommandLine(u"\"mail.exe\" -compose \"%1\"", u"mailto:x"),
            u"\"mail.exe\" -compose \"mailto:x\"");
  EXPECT_EQ(MailtoCommandLine(u"mail.exe", u"mailto:x"), u"mail.exe mailto:x");
  EXPECT_EQ(MailtoCommandLine(u"mail.exe ", u"mailto:x"), u"mail.exe mailto:x");
  // Cut at 12: "m mailto:a%2" would split the escape: it ends before "%".
  EXPECT_EQ(MailtoCommandLine(u"m", u"mailto:a%20b", 12), u"m mailto:a");
  EXPECT_EQ(MailtoCommandLine(u"m", u"mailto:a%20b", 11), u"m mailto:a");
  EXPECT_EQ(MailtoCommandLine(u"m", u"mailto:a%20b", 13), u"m mailto:a%20");
}

}  // namespace
}  // namespace ostrel::delivery
