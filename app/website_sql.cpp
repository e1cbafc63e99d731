#include "app/website_sql.h"

namespace pelmora {

std::string SqlQuoted(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out;
}

std::string PrimaryContactSql(const std::string& accountNo) {
  return "select contact1.accountno, contact1.recid, contact1.contact, contsupp.country, "
         "contsupp.title, coalesce(contsupp.address1+contsupp.address2, contsupp.address1) as "
         "website, contsupp.recid as drecid from contact1"
         " left outer join contsupp"
         " on contact1.recid=contsupp.linkacct and rectype='p' and contsupp.contact='web site'"
         " where contact1.accountno='" +
         SqlQuoted(accountNo) + "'" + " order by country, title";
}

std::string AdditionalContactSql(const std::string& recId) {
  return " select cs1.accountno, cs1.recid, cs1.contact, cs2.country, cs2.title, "
         "coalesce(cs2.address1+cs2.address2, cs2.address1) as website, cs2.recid as drecid "
         "from contsupp as cs1"
         " left outer join contsupp as cs2"
         " on cs1.recid=cs2.linkacct and cs2.rectype='p' and cs2.contact='web site'"
         " where cs1.rectype='c' and cs1.recid='" +
         SqlQuoted(recId) + "'" + " order by country, title";
}

std::string RecTypeProbeSql(const std::string& recId) {
  return " select rectype from contsupp where recid='" + SqlQuoted(recId) + "'";
}

}  // namespace pelmora
