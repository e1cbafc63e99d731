#pragma once

#include <string>

#include "sim/core/database.h"
#include "sim/core/name_values.h"
#include "sim/core/recid.h"

namespace pelmora::sim {

// The "WriteDetail" business function. An empty or absent "recid" adds a
// detail record (rectype "P") to the account "accountno"; otherwise the
// pairs given replace the values of that detail record. Returns true on
// success; on failure nothing is written and error says why.
bool WriteDetail(SimDatabase& db, const NameValues& values, RecidGenerator& ids, std::string* recid,
                 std::string* error);

}  // namespace pelmora::sim
