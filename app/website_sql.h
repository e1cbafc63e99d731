// The SQL that lists a contact's website links.
#pragma once

#include <string>

namespace pelmora {

// A value as an SQL string literal's body: apostrophes doubled, so a record id
// or account number can neither break the statement nor extend it.
std::string SqlQuoted(const std::string& value);

std::string PrimaryContactSql(const std::string& accountNo);
std::string AdditionalContactSql(const std::string& recId);
// Tells an additional contact ("C") from a primary one.
std::string RecTypeProbeSql(const std::string& recId);

}  // namespace pelmora
