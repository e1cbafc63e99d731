#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sim/core/database.h"
#include "sim/core/event_log.h"
#include "sim/core/name_values.h"
#include "sim/core/recid.h"
#include "sim/core/result_cursor.h"
#include "sim/core/table_cursor.h"

namespace pelmora::sim {

inline constexpr const char* kSharedSignOnUser = "*SHARED_SIGNON_TICKETS*";

// Log-in codes of GMW_LoadAPI.
enum LoginCode : int {
  kLoggedIn = 1,
  kAlreadyLoggedIn = 0,
  kInvalidGoldDir = -5,
  kInvalidCommonDir = -6,
  kGeneralFailure = -8,
};

// The state behind gm7s32.dll's entry points, all texts UTF-8. The library
// converts from and to the ANSI code page around it.
class SimApi {
 public:
  using EnvLookup = std::function<std::optional<std::string>(const std::string& name)>;
  using Encoder = std::function<std::string(std::string_view utf8)>;

  // env reads GM_SIM_LOGIN_CODE and GM_SIM_BATCH_ROWS; encode turns result
  // values into the text the caller receives.
  SimApi(EnvLookup env, Encoder encode, std::uint64_t seed);

  int LoadApi(std::string_view program_dir, std::string_view gold_dir, std::string_view common_dir,
              std::string_view user, std::string_view password);
  int UnloadApi();
  bool LoggedIn() const { return logged_in_; }
  int Execute(std::string_view function, int container);

  int NvCreate();
  int NvDelete(int container);
  int NvSetValue(int container, std::string_view name, std::string_view value);
  NameValues* Container(int container);

  int DsQuery(std::string_view sql, std::string_view field_delimiter,
              std::string_view record_delimiter);
  // Rows of an opened table between low and high (empty: open end) of its
  // order; fields is a comma-separated column list, empty for all columns.
  int DsRange(int table, std::string_view low, std::string_view high, std::string_view fields,
              std::string_view field_delimiter, std::string_view record_delimiter);
  ResultCursor* Query(int query);
  int DsClose(int query);

  int DbOpen(std::string_view table);
  int DbClose(int table);
  TableCursor* Table(int table);
  int DbDelete(int table);

  const std::string& LastError() const { return last_error_; }

 private:
  int AddQuery(std::vector<Row> rows, std::string_view field_delimiter,
               std::string_view record_delimiter);
  size_t BatchRows() const;
  void Log(const std::string& line) { events_.Append(line); }

  EnvLookup env_;
  Encoder encode_;
  RecidGenerator ids_;
  SimDatabase db_;
  EventLog events_;
  bool logged_in_ = false;
  int next_handle_ = 1;
  std::map<int, NameValues> containers_;
  std::map<int, std::unique_ptr<ResultCursor>> queries_;
  std::map<int, TableCursor> tables_;
  std::string last_error_;
};

}  // namespace pelmora::sim
