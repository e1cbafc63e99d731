#include "sim/core/api.h"

#include <charconv>
#include <system_error>
#include <utility>

#include "sim/core/write_detail.h"

namespace pelmora::sim {

namespace {

std::optional<long> ParseInt(const std::optional<std::string>& text) {
  long value = 0;
  if (!text || text->empty()) return std::nullopt;
  auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (ec != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return value;
}

bool IsFolder(const std::filesystem::path& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

}  // namespace

SimApi::SimApi(EnvLookup env, Encoder encode, std::uint64_t seed)
    : env_(std::move(env)), encode_(std::move(encode)), ids_(seed) {}

int SimApi::LoadApi(std::string_view /*program_dir*/, std::string_view gold_dir,
                    std::string_view common_dir, std::string_view user, std::string_view password) {
  auto gold = PathFromUtf8(gold_dir);
  events_.SetFolder(gold);
  auto db_file = gold / kDatabaseFile;
  std::error_code ec;
  int code = kLoggedIn;
  if (auto forced = ParseInt(env_("GM_SIM_LOGIN_CODE"))) {
    code = static_cast<int>(*forced);
    if (code > 0 && !logged_in_) {
      // Best effort: a forced success still wants working queries.
      logged_in_ = true;
      db_.Open(db_file, false, &last_error_);
    }
  } else if (logged_in_) {
    code = kAlreadyLoggedIn;
  } else if (!IsFolder(gold) || !std::filesystem::is_regular_file(db_file, ec)) {
    code = kInvalidGoldDir;
  } else if (!IsFolder(PathFromUtf8(common_dir))) {
    code = kInvalidCommonDir;
  } else if (!db_.Open(db_file, false, &last_error_)) {
    code = kInvalidGoldDir;
  } else {
    std::string ticket = db_.Ticket();
    if (user != kSharedSignOnUser || ticket.empty() || password != ticket) {
      code = kGeneralFailure;
      db_.Close();
    } else {
      logged_in_ = true;
    }
  }
  Log("login " + std::to_string(code));
  return code;
}

int SimApi::UnloadApi() {
  bool was = logged_in_;
  queries_.clear();
  tables_.clear();
  db_.Close();
  logged_in_ = false;
  Log("logout");
  return was ? 1 : 0;
}

int SimApi::Execute(std::string_view function, int container) {
  int result = 0;
  auto* values = Container(container);
  if (!logged_in_ || values == nullptr) {
    last_error_ = "not logged in, or no such container";
  } else if (EqualsNoCase(function, "WriteDetail")) {
    result = WriteDetail(db_, *values, ids_, nullptr, &last_error_) ? 1 : 0;
  } else {
    last_error_ = "unknown business function";
  }
  Log("execute " + std::string(function) + " " + std::to_string(result));
  return result;
}

int SimApi::NvCreate() {
  int handle = next_handle_++;
  containers_.emplace(handle, NameValues());
  return handle;
}

int SimApi::NvDelete(int container) { return containers_.erase(container) ? 1 : 0; }

int SimApi::NvSetValue(int container, std::string_view name, std::string_view value) {
  auto* values = Container(container);
  if (values == nullptr) return 0;
  values->Set(name, value);
  return 1;
}

NameValues* SimApi::Container(int container) {
  auto it = containers_.find(container);
  return it == containers_.end() ? nullptr : &it->second;
}

size_t SimApi::BatchRows() const {
  auto rows = ParseInt(env_("GM_SIM_BATCH_ROWS"));
  return rows && *rows > 0 ? static_cast<size_t>(*rows) : 3;
}

int SimApi::AddQuery(std::vector<Row> rows, std::string_view field_delimiter,
                     std::string_view record_delimiter) {
  for (auto& row : rows) {
    for (auto& value : row) value = encode_(value);
  }
  int handle = next_handle_++;
  queries_.emplace(handle, std::make_unique<ResultCursor>(std::move(rows), BatchRows(),
                                                          std::string(field_delimiter),
                                                          std::string(record_delimiter)));
  return handle;
}

int SimApi::DsQuery(std::string_view sql, std::string_view field_delimiter,
                    std::string_view record_delimiter) {
  if (!logged_in_) return 0;
  auto result = db_.Query(sql, &last_error_);
  if (!result) return 0;
  return AddQuery(std::move(result->rows), field_delimiter, record_delimiter);
}

int SimApi::DsRange(int table, std::string_view low, std::string_view high, std::string_view fields,
                    std::string_view field_delimiter, std::string_view record_delimiter) {
  auto* cursor = Table(table);
  if (!logged_in_ || cursor == nullptr || cursor->OrderColumnName().empty()) return 0;
  const std::string* column = &cursor->OrderColumnName();
  // Column names go into the SQL text: only real ones pass.
  auto known = db_.Columns(cursor->Table());
  std::string list;
  std::string_view rest = fields;
  while (!rest.empty()) {
    size_t comma = rest.find(',');
    std::string_view name = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    bool ok = false;
    for (const auto& k : known) ok = ok || EqualsNoCase(k, name);
    if (!ok) return 0;
    list += (list.empty() ? "" : ", ") + std::string(name);
  }
  std::string sql = "select " + (list.empty() ? std::string("*") : list) + " from " +
                    cursor->Table() + " where (?1='' or " + *column + ">=?1) and (?2='' or " +
                    *column + "<=?2) order by " + *column + ", rowid";
  auto rows = db_.Select(sql, {std::string(low), std::string(high)}, &last_error_);
  if (!rows) return 0;
  return AddQuery(std::move(*rows), field_delimiter, record_delimiter);
}

ResultCursor* SimApi::Query(int query) {
  auto it = queries_.find(query);
  return it == queries_.end() ? nullptr : it->second.get();
}

int SimApi::DsClose(int query) { return queries_.erase(query) ? 1 : 0; }

int SimApi::DbOpen(std::string_view table) {
  if (!logged_in_) return 0;
  auto cursor = TableCursor::Open(db_, table);
  if (!cursor) return 0;
  int handle = next_handle_++;
  tables_.emplace(handle, std::move(*cursor));
  return handle;
}

int SimApi::DbClose(int table) { return tables_.erase(table) ? 1 : 0; }

TableCursor* SimApi::Table(int table) {
  auto it = tables_.find(table);
  return it == tables_.end() ? nullptr : &it->second;
}

int SimApi::DbDelete(int table) {
  auto* cursor = Table(table);
  std::string recid;
  if (cursor == nullptr || !cursor->Delete(&recid)) return 0;
  Log("delete " + recid);
  return 1;
}

}  // namespace pelmora::sim
