#pragma once

#include <string>

#include "database.h"
#include "test_folder.h"

namespace pelmora::sim {

// The SQL texts Pelmora sends, built from the same pieces.
inline std::string PrimarySql(const std::string& acc) {
  return "select contact1.accountno, contact1.recid, contact1.contact, contsupp.country, "
         "contsupp.title, coalesce(contsupp.address1+contsupp.address2, contsupp.address1) as "
         "website, contsupp.recid as drecid from contact1"
         " left outer join contsupp"
         " on contact1.recid=contsupp.linkacct and rectype='p' and contsupp.contact='web site'"
         " where contact1.accountno='" +
         acc + "'" + " order by country, title";
}

inline std::string AdditionalSql(const std::string& rec) {
  return " select cs1.accountno, cs1.recid, cs1.contact, cs2.country, cs2.title, "
         "coalesce(cs2.address1+cs2.address2, cs2.address1) as website, cs2.recid as drecid "
         "from contsupp as cs1"
         " left outer join contsupp as cs2"
         " on cs1.recid=cs2.linkacct and cs2.rectype='p' and cs2.contact='web site'"
         " where cs1.rectype='c' and cs1.recid='" +
         rec + "'" + " order by country, title";
}

inline std::string ProbeSql(const std::string& rec) {
  return " select rectype from contsupp where recid='" + rec + "'";
}

// Two accounts; one with an apostrophe in its ids. Rectypes and detail
// names in mixed case, NULL and empty address2.
inline constexpr const char* kTestData = R"sql(
insert into contact1 (accountno, recid, company, contact) values
  ('ACC1', 'REC1', 'Alpha', 'Ann Primary'),
  ('O''B ACC', 'REC''2', 'Beta', 'Ben O''Brien');
insert into contsupp (accountno, recid, rectype, contact, title) values
  ('ACC1', 'ADD1', 'C', 'Bob Extra', 'Buyer'),
  ('O''B ACC', 'ADD''2', 'C', 'Cara O''Neill', '');
insert into contsupp (accountno, recid, rectype, contact, title, linkacct, country, address1, address2) values
  ('ACC1', 'W1', 'p', 'WEB SITE', 'Website', 'REC1', 'Company', 'http://a.example', NULL),
  ('ACC1', 'W2', 'P', 'Web Site', 'LinkedIn ', 'REC1', 'Personal', 'http://www.linkedin.example/in/ann-', 'primary'),
  ('ACC1', 'W3', 'P', 'Web Site', 'Twitter', 'ADD1', 'Company', 'http://t.example', ''),
  ('ACC1', 'W4', 'P', 'Web Site', 'Orphan', '', 'Company', 'http://orphan.example', ''),
  ('ACC1', 'W5', 'P', 'Birthday', '1 May', 'REC1', '', '', ''),
  ('O''B ACC', 'W''6', 'P', 'Web Site', 'Website', 'ADD''2', 'Personal', 'http://cara.example', '');
)sql";

inline void MakeTestDatabase(SimDatabase& db, const TestFolder& folder) {
  std::string error;
  ASSERT_TRUE(db.Open(folder.path() / kDatabaseFile, true, &error)) << error;
  ASSERT_TRUE(db.ExecScript(kTestData, &error)) << error;
  ASSERT_TRUE(db.SetTicket("TICKET-1", &error)) << error;
}

}  // namespace pelmora::sim
