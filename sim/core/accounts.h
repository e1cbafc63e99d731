#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/core/database.h"

namespace pelmora::sim {

struct AdditionalContact {
  std::string recid;  // contsupp recid
  std::string contact;
  std::string title;
};

struct Account {
  std::string accountno;
  std::string recid;  // contact1 recid
  std::string company;
  std::string contact;
  std::vector<AdditionalContact> additional;
};

// Accounts by company and contact, each with its additional contacts.
std::optional<std::vector<Account>> LoadAccounts(SimDatabase& db, std::string* error);

}  // namespace pelmora::sim
