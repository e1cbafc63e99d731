#include "sim/core/sql_rewrite.h"

#include <gtest/gtest.h>

namespace pelmora::sim {
namespace {

TEST(SqlRewrite, PlusBecomesConcatenationOutsideQuotes) {
  EXPECT_EQ(RewriteConcatenation("coalesce(a.x+a.y, a.x)"), "coalesce(a.x||a.y, a.x)");
  EXPECT_EQ(RewriteConcatenation("select 'a+b' + \"c+d\" + [e+f]"),
            "select 'a+b' || \"c+d\" || [e+f]");
  // A doubled quote stays inside the literal.
  EXPECT_EQ(RewriteConcatenation("where x='O''Br+ien' and y=a+b"),
            "where x='O''Br+ien' and y=a||b");
  EXPECT_EQ(RewriteConcatenation("a+b -- c+d\n+e /* f+g */+h"), "a||b -- c+d\n||e /* f+g */||h");
}

TEST(SqlRewrite, UnterminatedPiecesAreCopied) {
  EXPECT_EQ(RewriteConcatenation("x+'abc+"), "x||'abc+");
  EXPECT_EQ(RewriteConcatenation("x+/* y+"), "x||/* y+");
  EXPECT_EQ(RewriteConcatenation(""), "");
}

TEST(SqlRewrite, TrailingOrderByMovesOverTheSelectList) {
  EXPECT_EQ(OrderOverSelectList(" select a.x, b.y from a join b on (1) order by x, y"),
            "select * from ( select a.x, b.y from a join b on (1) ) order by x, y");
  // Only the top level counts, and words inside literals do not.
  EXPECT_EQ(OrderOverSelectList("select (select 1 order by 1) where c='order by'"), "");
  EXPECT_EQ(OrderOverSelectList("select x from t where y='a' ORDER\n BY x desc"),
            "select * from (select x from t where y='a' ) order by x desc");
  EXPECT_EQ(OrderOverSelectList("update t set reorder=1 order by x"), "");
  EXPECT_EQ(OrderOverSelectList("select border from t"), "");
}

}  // namespace
}  // namespace pelmora::sim
