#include "app/website_sql.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

TEST(WebsiteSql, PrimaryContactStatementIsExact) {
  EXPECT_EQ(PrimaryContactSql("A1"),
            "select contact1.accountno, contact1.recid, contact1.contact, contsupp.country, "
            "contsupp.title, coalesce(contsupp.address1+contsupp.address2, contsupp.address1) "
            "as website, contsupp.recid as drecid from contact1 left outer join contsupp on "
            "contact1.recid=contsupp.linkacct and rectype='p' and contsupp.contact='web site' "
            "where contact1.accountno='A1' order by country, title");
}

TEST(WebsiteSql, AdditionalContactStatementIsExact) {
  EXPECT_EQ(AdditionalContactSql("R9"),
            " select cs1.accountno, cs1.recid, cs1.contact, cs2.country, cs2.title, "
            "coalesce(cs2.address1+cs2.address2, cs2.address1) as website, cs2.recid as drecid "
            "from contsupp as cs1 left outer join contsupp as cs2 on cs1.recid=cs2.linkacct and "
            "cs2.rectype='p' and cs2.contact='web site' where cs1.rectype='c' and "
            "cs1.recid='R9' order by country, title");
  EXPECT_EQ(RecTypeProbeSql("R9"), " select rectype from contsupp where recid='R9'");
}

TEST(WebsiteSql, ApostrophesInValuesAreDoubled) {
  EXPECT_EQ(SqlQuoted("O'Brien''s"), "O''Brien''''s");
  EXPECT_NE(PrimaryContactSql("x' or '1'='1").find("'x'' or ''1''=''1'"), std::string::npos);
  EXPECT_NE(RecTypeProbeSql("a'b").find("recid='a''b'"), std::string::npos);
  EXPECT_NE(AdditionalContactSql("';drop table contsupp;--").find("recid=''';drop"),
            std::string::npos);
}

}  // namespace
}  // namespace pelmora
