#include "sim/core/write_detail.h"

#include <gtest/gtest.h>

#include "app/write_detail.h"
#include "sim/core/table_cursor.h"
#include "tests/unit/sim/test_data.h"

namespace pelmora::sim {
namespace {

// The ten pairs Pelmora sets for a link of the contact crecid, from its own
// builder.
NameValues LinkValues(const std::string& recid, const std::string& acc, const std::string& crecid,
                      const std::string& url) {
  WebsiteInput input;
  input.description = "Facebook ";
  input.siteType = "Company";
  input.website = url;
  ContactRef contact;
  contact.accountNo = acc;
  contact.contact = "x";
  contact.recId = crecid;
  NameValues values;
  const std::optional<NameValuePairs> pairs = WriteDetailPairs(recid, input, contact);
  EXPECT_TRUE(pairs);
  if (pairs) {
    for (const auto& [name, value] : *pairs) values.Set(name, value);
  }
  return values;
}

class WriteDetailTest : public ::testing::Test {
 protected:
  void SetUp() override { MakeTestDatabase(db_, folder_); }
  Row Stored(const std::string& recid) {
    auto rows = db_.Select(
        "select accountno, rectype, contact, title, linkacct, country, address1, address2, ref, "
        "notes from contsupp where recid=?",
        {recid}, nullptr);
    return rows && rows->size() == 1 ? rows->front() : Row{};
  }
  TestFolder folder_;
  SimDatabase db_;
  RecidGenerator ids_{42};
};

TEST_F(WriteDetailTest, EmptyRecidCreatesALinkThatTheListFinds) {
  std::string url(100, 'u');
  url.replace(0, 7, "http://");
  std::string recid, error;
  ASSERT_TRUE(WriteDetail(db_, LinkValues("", "O'B ACC", "ADD'2", url), ids_, &recid, &error))
      << error;
  EXPECT_EQ(recid.size(), kRecidLength);
  EXPECT_EQ(Stored(recid), (Row{"O'B ACC", "P", "Web Site", "Facebook ", "ADD'2", "Company",
                                url.substr(0, 35), url.substr(35, 40), url.substr(0, 35),
                                "~~REF=" + url + "\n~~NOTES=x - Facebook  (Company)) "}));
  auto rows = db_.Query(AdditionalSql("ADD'2"), &error);
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->rows.size(), 2u);
  EXPECT_EQ(rows->rows.at(0).at(6), recid);  // Company sorts before Personal
  EXPECT_EQ(rows->rows.at(0).at(5), url.substr(0, 75));
}

TEST_F(WriteDetailTest, NewRecidsAreUnique) {
  std::string first, second;
  ASSERT_TRUE(WriteDetail(db_, LinkValues("", "ACC1", "REC1", "http://1"), ids_, &first, nullptr));
  ASSERT_TRUE(WriteDetail(db_, LinkValues("", "ACC1", "REC1", "http://2"), ids_, &second, nullptr));
  EXPECT_NE(first, second);
}

TEST_F(WriteDetailTest, RecidReplacesThatRecordInPlace) {
  std::string recid, error;
  ASSERT_TRUE(WriteDetail(db_, LinkValues("W2", "ACC1", "REC1", "https://new.example"), ids_,
                          &recid, &error))
      << error;
  EXPECT_EQ(recid, "W2");
  Row row = Stored("W2");
  ASSERT_FALSE(row.empty());
  EXPECT_EQ(row[3], "Facebook ");
  EXPECT_EQ(row[6], "https://new.example");
  EXPECT_EQ(row[7], "");
  auto count = db_.Select("select count(*) from contsupp", {}, nullptr);
  EXPECT_EQ(count->front().front(), "8");
}

TEST_F(WriteDetailTest, FailuresWriteNothing) {
  auto count = [&] { return db_.Select("select count(*) from contsupp", {}, nullptr)->at(0)[0]; };
  Row before = Stored("ADD1");
  std::string error;
  // Unknown record, a record that is not a detail, unknown account, no account.
  EXPECT_FALSE(
      WriteDetail(db_, LinkValues("NOPE", "ACC1", "REC1", "http://x"), ids_, nullptr, &error));
  EXPECT_FALSE(
      WriteDetail(db_, LinkValues("ADD1", "ACC1", "REC1", "http://x"), ids_, nullptr, &error));
  EXPECT_EQ(Stored("ADD1"), before);
  EXPECT_FALSE(
      WriteDetail(db_, LinkValues("", "NOACC", "REC1", "http://x"), ids_, nullptr, &error));
  EXPECT_FALSE(WriteDetail(db_, LinkValues("", "", "REC1", "http://x"), ids_, nullptr, &error));
  NameValues no_detail = LinkValues("", "ACC1", "REC1", "http://x");
  no_detail.Set("detail", "");
  EXPECT_FALSE(WriteDetail(db_, no_detail, ids_, nullptr, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(count(), "8");
}

TEST_F(WriteDetailTest, SeekByRecidDeletesOnlyThatRecord) {
  auto table = TableCursor::Open(db_, "CONTSUPP");
  ASSERT_TRUE(table);
  EXPECT_FALSE(table->Seek("W'6"));  // no order yet
  ASSERT_TRUE(table->SetOrder("cnsrecid"));
  EXPECT_FALSE(table->SetOrder("nosuchtag"));
  ASSERT_TRUE(table->Top());
  EXPECT_FALSE(table->Seek("W7"));
  ASSERT_TRUE(table->Seek("W'6"));
  std::string deleted;
  ASSERT_TRUE(table->Delete(&deleted));
  EXPECT_EQ(deleted, "W'6");
  EXPECT_FALSE(table->Delete(&deleted));  // nothing current any more
  EXPECT_TRUE(Stored("W'6").empty());
  EXPECT_FALSE(Stored("W1").empty());
  EXPECT_FALSE(TableCursor::Open(db_, "sim_session"));
}

TEST_F(WriteDetailTest, ReplaceAndQuickSeekOnTheCurrentRecord) {
  auto table = TableCursor::Open(db_, "contsupp");
  ASSERT_TRUE(table && table->SetOrder("cnsrecid"));
  std::int64_t w = table->QuickSeek("W");
  EXPECT_NE(w, 0);
  EXPECT_EQ(table->RecNo(), 0);  // quick seek does not move
  ASSERT_TRUE(table->Seek("w3"));
  EXPECT_TRUE(table->Replace("TITLE", "X", false));
  EXPECT_TRUE(table->Replace("title", "Y", true));
  EXPECT_FALSE(table->Replace("title=1, recid", "Z", false));
  EXPECT_FALSE(table->Replace("recid", "Z", false));
  EXPECT_EQ(Stored("W3")[3], "XY");
}

}  // namespace
}  // namespace pelmora::sim
