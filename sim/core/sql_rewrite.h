#pragma once

#include <string>
#include <string_view>

namespace pelmora::sim {

// GoldMine's SQL joins strings with `+`, where a NULL operand makes the
// whole result NULL. SQLite's `+` is numeric; its `||` has the same NULL
// behaviour, so every `+` outside literals, quoted names and comments
// becomes `||`.
std::string RewriteConcatenation(std::string_view sql);

// GoldMine's server resolves ORDER BY names against the select list first,
// so "order by country" picks the selected cs2.country even when several
// joined tables have that column. For a select with a trailing ORDER BY this
// gives the same statement as an ordered read of the unordered select;
// empty when there is no such clause.
std::string OrderOverSelectList(std::string_view sql);

}  // namespace pelmora::sim
