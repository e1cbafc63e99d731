#include "sim/core/database.h"

#include <sqlite3.h>

#include <cctype>

#include "sim/core/sql_rewrite.h"

namespace pelmora::sim {

namespace {

constexpr const char* kSchema = R"sql(
create table if not exists contact1 (
  accountno text collate nocase not null,
  recid text collate nocase not null primary key,
  company text collate nocase, contact text collate nocase, lastname text collate nocase,
  title text collate nocase, dear text collate nocase, phone1 text collate nocase,
  address1 text collate nocase, address2 text collate nocase, city text collate nocase,
  state text collate nocase, zip text collate nocase, country text collate nocase,
  key1 text collate nocase, lastuser text collate nocase
);
create table if not exists contsupp (
  accountno text collate nocase not null,
  recid text collate nocase not null primary key,
  rectype text collate nocase, contact text collate nocase, title text collate nocase,
  contsupref text collate nocase, dear text collate nocase, phone text collate nocase,
  ext text collate nocase, fax text collate nocase, linkacct text collate nocase,
  country text collate nocase, zip text collate nocase, state text collate nocase,
  address1 text collate nocase, address2 text collate nocase, address3 text collate nocase,
  city text collate nocase, mergecodes text collate nocase, ref text collate nocase,
  notes text collate nocase, lastuser text collate nocase
);
create index if not exists contsupp_linkacct on contsupp(linkacct);
create index if not exists contsupp_accountno on contsupp(accountno);
create table if not exists sim_session (ticket text not null);
)sql";

std::string ErrorText(sqlite3* db, std::string_view what) {
  return std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "no database");
}

bool OnlySpace(const char* text) {
  if (text == nullptr) return true;
  for (; *text; ++text) {
    if (!std::isspace(static_cast<unsigned char>(*text)) && *text != ';') return false;
  }
  return true;
}

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  ~Statement() { sqlite3_finalize(stmt); }
};

bool Prepare(sqlite3* db, std::string_view sql, const Params& params, Statement& st,
             std::string* error) {
  const char* tail = nullptr;
  if (db == nullptr) {
    if (error) *error = "database not open";
    return false;
  }
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &st.stmt, &tail) !=
      SQLITE_OK) {
    if (error) *error = ErrorText(db, "SQL error");
    return false;
  }
  if (st.stmt == nullptr) {
    if (error) *error = "empty SQL";
    return false;
  }
  std::string rest(tail, sql.data() + sql.size() - tail);
  if (!OnlySpace(rest.c_str())) {
    if (error) *error = "more than one statement";
    return false;
  }
  for (size_t i = 0; i < params.size(); ++i) {
    int index = static_cast<int>(i) + 1;
    if (params[i]) {
      sqlite3_bind_text(st.stmt, index, params[i]->data(), static_cast<int>(params[i]->size()),
                        SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(st.stmt, index);
    }
  }
  return true;
}

bool Step(sqlite3* db, Statement& st, std::vector<Row>* rows, std::string* error) {
  for (;;) {
    int rc = sqlite3_step(st.stmt);
    if (rc == SQLITE_DONE) return true;
    if (rc != SQLITE_ROW) {
      if (error) *error = ErrorText(db, "SQL error");
      return false;
    }
    if (rows == nullptr) continue;
    Row row;
    int n = sqlite3_column_count(st.stmt);
    for (int c = 0; c < n; ++c) {
      auto text = reinterpret_cast<const char*>(sqlite3_column_text(st.stmt, c));
      row.emplace_back(text ? text : "");
    }
    rows->push_back(std::move(row));
  }
}

}  // namespace

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string PathToUtf8(const std::filesystem::path& path) {
  auto text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

bool SimDatabase::Open(const std::filesystem::path& file, bool create, std::string* error) {
  Close();
  int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(PathToUtf8(file).c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    if (error) *error = ErrorText(db_, "cannot open " + PathToUtf8(file));
    Close();
    return false;
  }
  // gmw.exe and the API library share the file.
  sqlite3_busy_timeout(db_, 5000);
  if (create && !CreateSchema(error)) {
    Close();
    return false;
  }
  return true;
}

void SimDatabase::Close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

bool SimDatabase::CreateSchema(std::string* error) { return ExecScript(kSchema, error); }

bool SimDatabase::ExecScript(const std::string& sql, std::string* error) {
  char* message = nullptr;
  if (db_ == nullptr || sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    if (error) *error = message ? std::string("SQL error: ") + message : "database not open";
    sqlite3_free(message);
    return false;
  }
  return true;
}

std::optional<QueryResult> SimDatabase::Query(std::string_view sql, std::string* error) {
  std::string rewritten = RewriteConcatenation(sql);
  Statement st;
  if (!Prepare(db_, rewritten, {}, st, error)) {
    std::string ordered = OrderOverSelectList(rewritten);
    if (ordered.empty() || !Prepare(db_, ordered, {}, st, nullptr)) return std::nullopt;
  }
  // A query must not change data, whatever text it was given.
  if (!sqlite3_stmt_readonly(st.stmt)) {
    if (error) *error = "not a query";
    return std::nullopt;
  }
  QueryResult result;
  for (int c = 0; c < sqlite3_column_count(st.stmt); ++c) {
    result.columns.emplace_back(sqlite3_column_name(st.stmt, c));
  }
  if (!Step(db_, st, &result.rows, error)) return std::nullopt;
  return result;
}

std::optional<std::vector<Row>> SimDatabase::Select(std::string_view sql, const Params& params,
                                                    std::string* error) {
  Statement st;
  std::vector<Row> rows;
  if (!Prepare(db_, sql, params, st, error) || !Step(db_, st, &rows, error)) return std::nullopt;
  return rows;
}

int SimDatabase::Exec(std::string_view sql, const Params& params, std::string* error) {
  Statement st;
  if (!Prepare(db_, sql, params, st, error) || !Step(db_, st, nullptr, error)) return -1;
  return sqlite3_changes(db_);
}

std::string SimDatabase::Ticket() {
  auto rows = Select("select ticket from sim_session limit 1", {}, nullptr);
  return rows && !rows->empty() ? rows->front().front() : std::string();
}

bool SimDatabase::SetTicket(const std::string& ticket, std::string* error) {
  return Exec("delete from sim_session", {}, error) >= 0 &&
         Exec("insert into sim_session(ticket) values(?)", {ticket}, error) == 1;
}

std::vector<std::string> SimDatabase::Columns(std::string_view table) {
  std::vector<std::string> names;
  auto rows = Select("select name from pragma_table_info(?)", {std::string(table)}, nullptr);
  if (rows) {
    for (auto& row : *rows) names.push_back(row.front());
  }
  return names;
}

}  // namespace pelmora::sim
