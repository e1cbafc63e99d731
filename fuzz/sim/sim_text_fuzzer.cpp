// SQL rewriting, command-line and control-command parsing must take any text;
// batched results must read back as the rows they were made from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "sim/core/control_command.h"
#include "sim/core/gmw_options.h"
#include "sim/core/result_cursor.h"
#include "sim/core/sql_rewrite.h"

namespace {

using pelmora::sim::ResultCursor;
using pelmora::sim::Row;

std::vector<Row> RowsFrom(std::string_view text, size_t columns) {
  std::vector<Row> rows;
  Row row;
  std::string value;
  for (char c : text) {
    if (c == '\x01' || c == '\x02' || c == '\0') continue;  // delimiters never occur in values
    if (c == '\t' || c == '\n') {
      row.push_back(value);
      value.clear();
      if (row.size() == columns) rows.push_back(std::move(row)), row.clear();
    } else {
      value += c;
    }
  }
  return rows;
}

// Reads batches the way Pelmora does and checks the values come back in order.
void CheckBatches(const std::vector<Row>& rows, size_t batch_rows) {
  ResultCursor cursor(rows, batch_rows, "\x01", "\x02");
  std::vector<std::string> values;
  size_t batches = 0;
  for (;;) {
    size_t size = cursor.NextSize();
    if (size == 0) std::abort();  // the last batch says "1" before this happens
    std::string buffer(size, '\0');
    if (cursor.Fill(buffer.data(), size - 1) != 0) std::abort();
    if (cursor.Fill(buffer.data(), size) != size || buffer.back() != '\0') std::abort();
    ++batches;
    std::string_view rest(buffer.data(), size - 1);
    size_t at = rest.find('\x01');
    std::string status(rest.substr(0, at));
    rest.remove_prefix(at + 1);
    while (!rest.empty()) {
      size_t p = rest.find('\x01');
      if (p == std::string_view::npos) std::abort();  // every field is ended
      values.emplace_back(rest.substr(0, p));
      rest.remove_prefix(p + 1 < rest.size() && rest[p + 1] == '\x02' ? p + 2 : p + 1);
    }
    if (status != "0" && status != "1") std::abort();
    if (status == "1") break;
  }
  if (!cursor.Finished() || cursor.NextSize() != 0) std::abort();
  size_t expected_batches = rows.empty() ? 1 : (rows.size() + batch_rows - 1) / batch_rows;
  if (batches != expected_batches) std::abort();
  std::vector<std::string> flat;
  for (const auto& row : rows) flat.insert(flat.end(), row.begin(), row.end());
  if (flat != values) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
  std::string rewritten = pelmora::sim::RewriteConcatenation(text);
  if (rewritten.size() < text.size()) std::abort();
  pelmora::sim::OrderOverSelectList(rewritten);
  pelmora::sim::SplitCommandLine(text);
  pelmora::sim::ParseControlCommand(text);
  CheckBatches(RowsFrom(text, 1 + data[0] % 7), 1 + data[1] % 5);
  return 0;
}
