#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/core/database.h"

namespace pelmora::sim {

// GoldMine's order tags: which column a table is ordered and sought by.
std::optional<std::string> OrderColumn(std::string_view table, std::string_view tag);

// A table opened through the API's table operations, with a current record.
class TableCursor {
 public:
  // table is "contact1" or "contsupp", in any case.
  static std::optional<TableCursor> Open(SimDatabase& db, std::string_view table);

  const std::string& Table() const { return table_; }
  bool SetOrder(std::string_view tag);
  const std::string& OrderColumnName() const { return order_column_; }
  bool Top();
  // Exact (case-blind) match on the order column; found makes it current.
  bool Seek(std::string_view key);
  // Record number of the first record whose key begins with key; 0 if none.
  // The current record does not change.
  std::int64_t QuickSeek(std::string_view key);
  // Deletes the current record; recid receives its id.
  bool Delete(std::string* recid);
  std::int64_t RecNo() const { return current_.value_or(0); }
  bool Replace(std::string_view field, std::string_view value, bool append);

 private:
  TableCursor(SimDatabase& db, std::string table) : db_(&db), table_(std::move(table)) {}

  SimDatabase* db_;
  std::string table_;
  std::string order_column_;
  std::optional<std::int64_t> current_;
};

}  // namespace pelmora::sim
