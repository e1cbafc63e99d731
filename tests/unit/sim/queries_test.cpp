#include <gtest/gtest.h>

#include "sim/core/accounts.h"
#include "sim/core/demo_data.h"
#include "tests/unit/sim/test_data.h"

namespace pelmora::sim {
namespace {

class Queries : public ::testing::Test {
 protected:
  void SetUp() override { MakeTestDatabase(db_, folder_); }
  std::vector<Row> Run(const std::string& sql) {
    std::string error;
    auto result = db_.Query(sql, &error);
    EXPECT_TRUE(result) << error << "\n" << sql;
    return result ? result->rows : std::vector<Row>{};
  }
  TestFolder folder_;
  SimDatabase db_;
};

TEST_F(Queries, PrimaryContactListsLinkedWebSitesCaseBlind) {
  auto rows = Run(PrimarySql("acc1"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0],
            (Row{"ACC1", "REC1", "Ann Primary", "Company", "Website", "http://a.example", "W1"}));
  EXPECT_EQ(rows[1], (Row{"ACC1", "REC1", "Ann Primary", "Personal", "LinkedIn ",
                          "http://www.linkedin.example/in/ann-primary", "W2"}));
}

TEST_F(Queries, AdditionalContactListsItsOwnLinks) {
  auto rows = Run(AdditionalSql("ADD1"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0],
            (Row{"ACC1", "ADD1", "Bob Extra", "Company", "Twitter", "http://t.example", "W3"}));
}

TEST_F(Queries, DoubledApostrophesWorkAsLiterals) {
  auto primary = Run(PrimarySql("O'B ACC"));
  ASSERT_EQ(primary.size(), 1u);  // no links: one row with empty link columns
  EXPECT_EQ(primary[0], (Row{"O'B ACC", "REC'2", "Ben O'Brien", "", "", "", ""}));
  auto additional = Run(AdditionalSql("ADD'2"));
  ASSERT_EQ(additional.size(), 1u);
  EXPECT_EQ(additional[0], (Row{"O'B ACC", "ADD'2", "Cara O'Neill", "Personal", "Website",
                                "http://cara.example", "W'6"}));
  EXPECT_EQ(Run(ProbeSql("ADD'2")), (std::vector<Row>{{"C"}}));
}

TEST_F(Queries, ProbeTellsAdditionalFromPrimary) {
  EXPECT_EQ(Run(ProbeSql("ADD1")), (std::vector<Row>{{"C"}}));
  EXPECT_TRUE(Run(ProbeSql("REC1")).empty());
  EXPECT_TRUE(Run(ProbeSql("")).empty());
  // A primary recid asked for as an additional contact gives nothing.
  EXPECT_TRUE(Run(AdditionalSql("REC1")).empty());
}

TEST_F(Queries, BadOrWritingSqlIsRefused) {
  std::string error;
  EXPECT_FALSE(db_.Query("select * from nowhere", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(db_.Query("delete from contsupp", &error));
  EXPECT_FALSE(db_.Query("select 1; delete from contsupp", &error));
  EXPECT_FALSE(db_.Query("select 'unterminated", &error));
  EXPECT_EQ(Run("select count(*) from contsupp").at(0).at(0), "8");
}

TEST(DemoData, LoadsAndGivesTheListsItDescribes) {
  TestFolder folder;
  SimDatabase db;
  std::string error;
  ASSERT_TRUE(db.Open(folder.path() / kDatabaseFile, true, &error)) << error;
  ASSERT_TRUE(db.ExecScript(kDemoSql, &error)) << error;
  auto accounts = LoadAccounts(db, &error);
  ASSERT_TRUE(accounts) << error;
  ASSERT_GE(accounts->size(), 5u);
  size_t with_additional = 0;
  for (const auto& account : *accounts) {
    with_additional += account.additional.empty() ? 0 : 1;
    auto rows = db.Query(PrimarySql(account.accountno), &error);
    ASSERT_TRUE(rows) << error;
    EXPECT_GE(rows->rows.size(), 1u);
    for (const auto& extra : account.additional) {
      auto more = db.Query(AdditionalSql(extra.recid), &error);
      ASSERT_TRUE(more) << error;
      EXPECT_GE(more->rows.size(), 1u);
    }
  }
  EXPECT_GE(with_additional, 2u);
  // The lower-case "web site" detail is listed; the unlinked one is not.
  auto quick = db.Query(PrimarySql("A1120301005QUIC"), &error);
  ASSERT_TRUE(quick);
  EXPECT_EQ(quick->rows.size(), 2u);
}

}  // namespace
}  // namespace pelmora::sim
