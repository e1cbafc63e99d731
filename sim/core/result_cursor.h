#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pelmora::sim {

using Row = std::vector<std::string>;

// Hands out a query result as GoldMine's result text, a few rows per batch:
// a status field ("0" while more batches follow, "1" for the last), then
// every value ended by the field delimiter, a record delimiter after each
// row's last value, and a terminating zero.
class ResultCursor {
 public:
  ResultCursor(std::vector<Row> rows, size_t batch_rows, std::string field_delimiter,
               std::string record_delimiter);

  // Bytes the next batch needs, terminator included; 0 once all were taken.
  size_t NextSize();
  // Copies the next batch into buffer and moves on. Returns the bytes
  // written, or 0 (nothing written) when the buffer is too small or no batch
  // is left.
  size_t Fill(char* buffer, size_t size);
  bool Finished() const { return finished_; }

 private:
  void Prepare();

  std::vector<Row> rows_;
  size_t batch_rows_;
  std::string field_delimiter_;
  std::string record_delimiter_;
  size_t next_row_ = 0;
  bool finished_ = false;
  bool prepared_ = false;
  size_t batch_end_ = 0;
  std::string pending_;
};

}  // namespace pelmora::sim
