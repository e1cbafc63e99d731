#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/core/result_cursor.h"

struct sqlite3;

namespace pelmora::sim {

inline constexpr const char* kDatabaseFile = "goldmine.db";

using Params = std::vector<std::optional<std::string>>;

struct QueryResult {
  std::vector<std::string> columns;
  std::vector<Row> rows;  // NULL values come out as empty texts
};

// The stand-in's tables, in one SQLite file inside GoldDir. Texts are UTF-8.
class SimDatabase {
 public:
  SimDatabase() = default;
  SimDatabase(const SimDatabase&) = delete;
  SimDatabase& operator=(const SimDatabase&) = delete;
  ~SimDatabase() { Close(); }

  // Opens the file; with create, makes it (and the tables) when absent.
  bool Open(const std::filesystem::path& file, bool create, std::string* error);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }

  // contact1, contsupp and the session table; existing tables are kept.
  bool CreateSchema(std::string* error);
  bool ExecScript(const std::string& sql, std::string* error);

  // One read-only statement in GoldMine's dialect.
  std::optional<QueryResult> Query(std::string_view sql, std::string* error);

  std::optional<std::vector<Row>> Select(std::string_view sql, const Params& params,
                                         std::string* error);
  // Returns the number of changed rows, or -1 on failure.
  int Exec(std::string_view sql, const Params& params, std::string* error);

  std::string Ticket();
  bool SetTicket(const std::string& ticket, std::string* error);

  // Column names of a table, to check names that come from callers.
  std::vector<std::string> Columns(std::string_view table);

 private:
  sqlite3* db_ = nullptr;
};

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace pelmora::sim
