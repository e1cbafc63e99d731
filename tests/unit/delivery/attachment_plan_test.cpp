#include "crash/ui/delivery/attachment_plan.h"

#include <gtest/gtest.h>

#include <set>

namespace ostrel::delivery {
namespace {

TEST(AttachmentPlan, NamesAndFieldsDefaultFromThePath) {
  const AttachmentSpec a = CompleteAttachment({u"C:\\logs\\report.txt", u"", u"", u""});
  EXPECT_EQ(a.sendAs, u"report.txt");
  EXPECT_EQ(a.field, u"report");
  const AttachmentSpec b = CompleteAttachment({u"x.log", u"trace.log.txt", u"", u""});
  EXPECT_EQ(b.field, u"trace.log");
}

TEST(AttachmentPlan, SharedArchiveNamesBecomeOneArchiveAndMissingFilesAreSkipped) {
  const std::set<std::u16string> present = {u"a.txt", u"b.ini", u"c.png", u"d.dat"};
  const AttachmentPlan plan =
      PlanAttachments({{u"a.txt", u"", u"logs.zip", u""},
                       {u"missing.txt", u"", u"", u""},
                       {u"c.png", u"shot.png", u"", u"Shot"},
                       {u"b.ini", u"settings.ini", u"LOGS.ZIP", u""},
                       {u"d.dat", u"", u"other.zip", u""},
                       {u"", u"", u"", u""}},
                      u"T:\\", [&](const std::u16string& p) { return present.count(p) > 0; });
  ASSERT_EQ(plan.files.size(), 3u);
  EXPECT_EQ(plan.files[0].path, u"T:\\logs.zip");
  EXPECT_EQ(plan.files[0].sendAs, u"logs.zip");
  EXPECT_EQ(plan.files[0].field, u"logs.zip");
  EXPECT_EQ(plan.files[1].sendAs, u"shot.png");
  EXPECT_EQ(plan.files[1].field, u"Shot");
  EXPECT_EQ(plan.files[1].archive, -1);
  EXPECT_EQ(plan.files[2].path, u"T:\\other.zip");
  ASSERT_EQ(plan.archives.size(), 2u);
  EXPECT_EQ(plan.archives[0].files, (std::vector<std::u16string>{u"a.txt", u"b.ini"}));
  EXPECT_EQ(plan.archives[0].names, (std::vector<std::u16string>{u"a.txt", u"settings.ini"}));
}

}  // namespace
}  // namespace ostrel::delivery
