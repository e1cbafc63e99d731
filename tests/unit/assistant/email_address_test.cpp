#include "crash/ui/assistant/email_address.h"

#include <gtest/gtest.h>

namespace ostrel::assistant {
namespace {

TEST(EmailAddress, PlainAddressesPass) {
  for (const char16_t* ok :
       {u"a@b.c", u"ann.lee@example.com", u"o'neil+crash@mail-host.co.uk", u"under_score@x.y"})
    EXPECT_TRUE(IsValidEmailAddress(ok)) << std::u16string(ok).size();
}

TEST(EmailAddress, EachRuleRefuses) {
  struct Case {
    const char16_t* text;
    const char* why;
  };
  for (const Case& c :
       {Case{u"", "empty"}, Case{u"@b.c", "starts with the at sign"},
        Case{u"a@.b", "full stop right after the at sign"},
        Case{u"a@b.c.", "ends with a full stop"}, Case{u".a@b.c", "starts with a full stop"},
        Case{u"a@bc", "no full stop after the at sign"},
        Case{u"a.b@c", "full stop only before the at sign"}, Case{u"a b@c.d", "blank"},
        Case{u" a@b.c", "leading blank"}, Case{u"a@b.c\t", "trailing control character"},
        Case{u"a@b@c.d", "two at signs"}, Case{u"a@b.c@", "two at signs, one last"},
        Case{u"a(b)@c.d", "other characters"},
        Case{u"j\u00f6rg@x.de", "beyond the plain characters"}, Case{u"ab.cd", "no at sign"}})
    EXPECT_FALSE(IsValidEmailAddress(c.text)) << c.why;
}

}  // namespace
}  // namespace ostrel::assistant
