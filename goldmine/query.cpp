#include "goldmine/query.h"

#include <vector>

#include "goldmine/field_split.h"

namespace pelmora {

namespace {
// Sizes beyond this are treated as a broken reply rather than allocated.
constexpr int kMaxBatchBytes = 64 * 1024 * 1024;
}  // namespace

void RunQuery(IQuerySource& source, const std::string& sql,
              const std::function<void(std::string&)>& onFields) {
  const int handle = source.Query(sql, kFieldDelimiter, kRecordDelimiter);
  if (handle > 0) {
    std::string status;
    do {
      const int size = source.FetchSize(handle);
      if (size <= 0 || size > kMaxBatchBytes) break;
      std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
      if (source.Fetch(handle, buffer.data(), size) <= 0) break;
      buffer[static_cast<std::size_t>(size)] = '\0';
      std::string rest(buffer.data());
      SplitField(rest, status);
      onFields(rest);
    } while (!status.empty() && status[0] == '0');
  }
  source.Close(handle);
}

void QueryValue(IQuerySource& source, const std::string& sql, std::string& value) {
  RunQuery(source, sql, [&](std::string& rest) {
    std::string field;
    while (!rest.empty()) {
      SplitField(rest, field);
      value = field;
    }
  });
}

std::shared_ptr<MemTable> QueryTable(IQuerySource& source, const std::string& sql,
                                     const std::vector<std::string>& columnNames) {
  auto table = std::make_shared<MemTable>(columnNames);
  RunQuery(source, sql, [&](std::string& rest) {
    std::string field;
    while (!rest.empty()) {
      table->AppendRow();
      for (std::size_t c = 0; c < columnNames.size() && !rest.empty(); ++c) {
        SplitField(rest, field);
        table->SetField(c, field);
      }
    }
  });
  return table;
}

}  // namespace pelmora
