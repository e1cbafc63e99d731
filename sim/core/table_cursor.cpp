#include "sim/core/table_cursor.h"

#include <algorithm>
#include <cctype>

#include "sim/core/name_values.h"

namespace pelmora::sim {

namespace {

struct Tag {
  const char* table;
  const char* tag;
  const char* column;
};

constexpr Tag kTags[] = {
    {"contsupp", "cnsrecid", "recid"},    {"contsupp", "contspfd", "accountno"},
    {"contsupp", "contsplk", "linkacct"}, {"contact1", "contacc", "accountno"},
    {"contact1", "contrecid", "recid"},   {"contact1", "contcomp", "company"},
    {"contact1", "contname", "contact"},
};

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

}  // namespace

std::optional<std::string> OrderColumn(std::string_view table, std::string_view tag) {
  for (const auto& t : kTags) {
    if (EqualsNoCase(t.table, table) && EqualsNoCase(t.tag, tag)) return std::string(t.column);
  }
  return std::nullopt;
}

std::optional<TableCursor> TableCursor::Open(SimDatabase& db, std::string_view table) {
  std::string name = Lower(table);
  if (!db.IsOpen() || (name != "contact1" && name != "contsupp")) return std::nullopt;
  return TableCursor(db, name);
}

bool TableCursor::SetOrder(std::string_view tag) {
  auto column = OrderColumn(table_, tag);
  if (!column) return false;
  order_column_ = *column;
  return true;
}

bool TableCursor::Top() {
  std::string order = order_column_.empty() ? "rowid" : order_column_ + ", rowid";
  auto rows =
      db_->Select("select rowid from " + table_ + " order by " + order + " limit 1", {}, nullptr);
  current_.reset();
  if (!rows || rows->empty()) return false;
  current_ = std::stoll(rows->front().front());
  return true;
}

bool TableCursor::Seek(std::string_view key) {
  if (order_column_.empty()) return false;
  auto rows = db_->Select(
      "select rowid from " + table_ + " where " + order_column_ + "=? order by rowid limit 1",
      {std::string(key)}, nullptr);
  if (!rows || rows->empty()) return false;
  current_ = std::stoll(rows->front().front());
  return true;
}

std::int64_t TableCursor::QuickSeek(std::string_view key) {
  if (order_column_.empty()) return 0;
  auto rows = db_->Select("select rowid from " + table_ + " where substr(" + order_column_ +
                              ", 1, length(?1))=?1 order by " + order_column_ + ", rowid limit 1",
                          {std::string(key)}, nullptr);
  return rows && !rows->empty() ? std::stoll(rows->front().front()) : 0;
}

bool TableCursor::Delete(std::string* recid) {
  if (!current_) return false;
  std::string where = " where rowid=" + std::to_string(*current_);
  auto rows = db_->Select("select recid from " + table_ + where, {}, nullptr);
  if (!rows || rows->empty()) return false;
  if (db_->Exec("delete from " + table_ + where, {}, nullptr) != 1) return false;
  if (recid) *recid = rows->front().front();
  current_.reset();
  return true;
}

bool TableCursor::Replace(std::string_view field, std::string_view value, bool append) {
  if (!current_) return false;
  auto columns = db_->Columns(table_);
  auto known = std::find_if(columns.begin(), columns.end(),
                            [&](const std::string& c) { return EqualsNoCase(c, field); });
  // The name goes into the SQL text, so only real column names pass.
  if (known == columns.end() || EqualsNoCase(*known, "recid")) return false;
  std::string set = append ? *known + "=coalesce(" + *known + ", '')||?" : *known + "=?";
  return db_->Exec("update " + table_ + " set " + set + " where rowid=" + std::to_string(*current_),
                   {std::string(value)}, nullptr) == 1;
}

}  // namespace pelmora::sim
