#include "goldmine/mem_table.h"

#include <stdexcept>

namespace pelmora {

namespace {
bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}
}  // namespace

MemTable::MemTable(std::vector<std::string> columnNames) : names_(std::move(columnNames)) {}

void MemTable::AppendRow() {
  rows_.emplace_back(names_.size());
  current_ = rows_.size() - 1;
}

void MemTable::SetField(std::size_t column, const std::string& value) {
  if (!current_ || column >= names_.size()) throw std::out_of_range("MemTable::SetField");
  rows_[*current_][column] = value.substr(0, kColumnWidth);
}

void MemTable::SetCurrentRow(std::size_t row) {
  if (row >= rows_.size()) throw std::out_of_range("MemTable::SetCurrentRow");
  current_ = row;
}

std::optional<std::size_t> MemTable::ColumnIndex(const std::string& name) const {
  for (std::size_t i = 0; i < names_.size(); ++i)
    if (EqualsNoCase(names_[i], name)) return i;
  return std::nullopt;
}

const std::string& MemTable::Field(std::size_t row, std::size_t column) const {
  return rows_.at(row).at(column);
}

std::optional<std::string> MemTable::CurrentField(const std::string& name) const {
  const auto column = ColumnIndex(name);
  if (!current_ || !column) return std::nullopt;
  return rows_[*current_][*column];
}

}  // namespace pelmora
