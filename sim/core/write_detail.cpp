#include "sim/core/write_detail.h"

#include <utility>
#include <vector>

namespace pelmora::sim {

namespace {

// Container name -> contsupp column.
constexpr std::pair<const char*, const char*> kFields[] = {
    {"accountno", "accountno"}, {"detail", "contact"},  {"ufield1", "title"},
    {"ufield2", "linkacct"},    {"ufield3", "country"}, {"ufield10", "address1"},
    {"ufield11", "address2"},   {"ref", "ref"},         {"notes", "notes"},
};

bool AccountExists(SimDatabase& db, const std::string& accountno, std::string* error) {
  auto rows = db.Select("select 1 from contact1 where accountno=? limit 1", {accountno}, error);
  if (rows && rows->empty() && error) *error = "no account " + accountno;
  return rows && !rows->empty();
}

bool RecidTaken(SimDatabase& db, const std::string& recid) {
  auto rows = db.Select(
      "select 1 from contsupp where recid=?1 union all select 1 from contact1 where recid=?1",
      {recid}, nullptr);
  return !rows || !rows->empty();
}

bool Create(SimDatabase& db, const NameValues& values, RecidGenerator& ids, std::string* recid,
            std::string* error) {
  std::string accountno = values.Get("accountno").value_or("");
  if (accountno.empty()) {
    if (error) *error = "no accountno";
    return false;
  }
  if (values.Get("detail").value_or("").empty()) {
    if (error) *error = "no detail name";
    return false;
  }
  if (!AccountExists(db, accountno, error)) return false;
  std::string id = ids.Next();
  for (int tries = 0; RecidTaken(db, id); ++tries) {
    if (tries > 100) {
      if (error) *error = "no free record id";
      return false;
    }
    id = ids.Next();
  }
  std::string columns = "recid, rectype";
  std::string marks = "?, 'P'";
  Params params{id};
  for (auto [name, column] : kFields) {
    columns += std::string(", ") + column;
    marks += ", ?";
    params.push_back(values.Get(name).value_or(""));
  }
  if (db.Exec("insert into contsupp(" + columns + ") values(" + marks + ")", params, error) != 1) {
    return false;
  }
  if (recid) *recid = id;
  return true;
}

bool Replace(SimDatabase& db, const NameValues& values, const std::string& id, std::string* error) {
  auto rows = db.Select("select rectype from contsupp where recid=?", {id}, error);
  if (!rows) return false;
  // Only detail records: the same id could name an additional contact, whose
  // data must not be overwritten with a detail's values.
  if (rows->empty() || !EqualsNoCase(rows->front().front(), "P")) {
    if (error) *error = "no detail record " + id;
    return false;
  }
  auto accountno = values.Get("accountno");
  if (accountno && !AccountExists(db, *accountno, error)) return false;
  auto detail = values.Get("detail");
  if (detail && detail->empty()) {
    if (error) *error = "empty detail name";
    return false;
  }
  std::string assignments;
  Params params;
  for (auto [name, column] : kFields) {
    auto value = values.Get(name);
    if (!value) continue;
    assignments += (assignments.empty() ? "" : ", ") + std::string(column) + "=?";
    params.push_back(*value);
  }
  if (assignments.empty()) return true;
  params.push_back(id);
  return db.Exec("update contsupp set " + assignments + " where recid=?", params, error) == 1;
}

}  // namespace

bool WriteDetail(SimDatabase& db, const NameValues& values, RecidGenerator& ids, std::string* recid,
                 std::string* error) {
  std::string id = values.Get("recid").value_or("");
  if (id.empty()) return Create(db, values, ids, recid, error);
  if (recid) *recid = id;
  return Replace(db, values, id, error);
}

}  // namespace pelmora::sim
