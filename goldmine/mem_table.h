// In-memory table of text columns that holds one query result.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pelmora {

class MemTable {
 public:
  static constexpr std::size_t kColumnWidth = 80;

  explicit MemTable(std::vector<std::string> columnNames);

  const std::vector<std::string>& ColumnNames() const { return names_; }
  std::size_t RowCount() const { return rows_.size(); }

  // Appends an empty row and makes it current.
  void AppendRow();
  // Sets a column of the current row; longer values are cut to the width.
  void SetField(std::size_t column, const std::string& value);

  // Current row, or nullopt for an empty table.
  std::optional<std::size_t> CurrentRow() const { return current_; }
  void SetCurrentRow(std::size_t row);

  // Case-blind column lookup.
  std::optional<std::size_t> ColumnIndex(const std::string& name) const;
  const std::string& Field(std::size_t row, std::size_t column) const;

  // Text of a named column in the current row; nullopt when there is no
  // current row or no such column.
  std::optional<std::string> CurrentField(const std::string& name) const;

 private:
  std::vector<std::string> names_;
  std::vector<std::vector<std::string>> rows_;
  std::optional<std::size_t> current_;
};

}  // namespace pelmora
