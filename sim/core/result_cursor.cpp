#include "sim/core/result_cursor.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace pelmora::sim {

ResultCursor::ResultCursor(std::vector<Row> rows, size_t batch_rows, std::string field_delimiter,
                           std::string record_delimiter)
    : rows_(std::move(rows)),
      batch_rows_(std::max<size_t>(batch_rows, 1)),
      field_delimiter_(field_delimiter.empty() ? std::string("\x01") : std::move(field_delimiter)),
      record_delimiter_(record_delimiter.empty() ? std::string("\x02")
                                                 : std::move(record_delimiter)) {}

void ResultCursor::Prepare() {
  if (prepared_ || finished_) return;
  batch_end_ = std::min(rows_.size(), next_row_ + batch_rows_);
  pending_.assign(1, batch_end_ < rows_.size() ? '0' : '1');
  pending_.append(field_delimiter_);
  for (size_t r = next_row_; r < batch_end_; ++r) {
    for (const auto& value : rows_[r]) {
      pending_ += value;
      pending_ += field_delimiter_;
    }
    pending_ += record_delimiter_;
  }
  prepared_ = true;
}

size_t ResultCursor::NextSize() {
  Prepare();
  return finished_ ? 0 : pending_.size() + 1;
}

size_t ResultCursor::Fill(char* buffer, size_t size) {
  Prepare();
  if (finished_ || buffer == nullptr || size < pending_.size() + 1) return 0;
  std::memcpy(buffer, pending_.c_str(), pending_.size() + 1);
  size_t written = pending_.size() + 1;
  next_row_ = batch_end_;
  finished_ = next_row_ >= rows_.size();
  prepared_ = false;
  pending_.clear();
  return written;
}

}  // namespace pelmora::sim
