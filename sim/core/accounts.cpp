#include "sim/core/accounts.h"

#include <map>

namespace pelmora::sim {

std::optional<std::vector<Account>> LoadAccounts(SimDatabase& db, std::string* error) {
  auto primary = db.Select(
      "select accountno, recid, coalesce(company, ''), coalesce(contact, '') from contact1 "
      "order by company, contact, accountno",
      {}, error);
  auto additional = db.Select(
      "select accountno, recid, coalesce(contact, ''), coalesce(title, '') from contsupp "
      "where rectype='C' order by contact, recid",
      {}, error);
  if (!primary || !additional) return std::nullopt;
  std::vector<Account> accounts;
  std::map<std::string, size_t> index;
  for (auto& row : *primary) {
    index.emplace(row[0], accounts.size());
    accounts.push_back(Account{row[0], row[1], row[2], row[3], {}});
  }
  for (auto& row : *additional) {
    auto it = index.find(row[0]);
    if (it != index.end()) {
      accounts[it->second].additional.push_back(AdditionalContact{row[1], row[2], row[3]});
    }
  }
  return accounts;
}

}  // namespace pelmora::sim
