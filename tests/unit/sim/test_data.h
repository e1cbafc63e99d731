#pragma once

#include <string>

#include "app/website_sql.h"
#include "sim/core/database.h"
#include "tests/unit/sim/test_folder.h"

namespace pelmora::sim {

// The SQL texts Pelmora sends, from its own builders: values are given as
// they are, the builders double their apostrophes.
inline std::string PrimarySql(const std::string& acc) { return PrimaryContactSql(acc); }
inline std::string AdditionalSql(const std::string& rec) { return AdditionalContactSql(rec); }
inline std::string ProbeSql(const std::string& rec) { return RecTypeProbeSql(rec); }

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
