#include "sim/core/result_cursor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmora::sim {
namespace {

// Reads a cursor the way Pelmora does: size, exact buffer, fill, repeat
// while the status begins with "0".
std::vector<std::string> FetchAll(ResultCursor& cursor) {
  std::vector<std::string> batches;
  for (;;) {
    size_t size = cursor.NextSize();
    if (size == 0) break;
    std::vector<char> buffer(size, 'x');
    EXPECT_EQ(cursor.Fill(buffer.data(), size), size);
    EXPECT_EQ(buffer.back(), '\0');
    batches.emplace_back(buffer.data());
    if (batches.back()[0] != '0') break;
  }
  return batches;
}

TEST(ResultCursor, BatchesCarryStatusFieldsAndDelimiters) {
  std::vector<Row> rows;
  for (int i = 0; i < 7; ++i) rows.push_back({"a" + std::to_string(i), ""});
  ResultCursor cursor(rows, 3, "\x01", "\x02");
  auto batches = FetchAll(cursor);
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0],
            "0\x01"
            "a0\x01\x01\x02"
            "a1\x01\x01\x02"
            "a2\x01\x01\x02");
  EXPECT_EQ(batches[1],
            "0\x01"
            "a3\x01\x01\x02"
            "a4\x01\x01\x02"
            "a5\x01\x01\x02");
  EXPECT_EQ(batches[2],
            "1\x01"
            "a6\x01\x01\x02");
  EXPECT_TRUE(cursor.Finished());
  EXPECT_EQ(cursor.NextSize(), 0u);
}

TEST(ResultCursor, ExactMultipleEndsWithLastStatusOnFullBatch) {
  ResultCursor cursor({{"1"}, {"2"}, {"3"}, {"4"}}, 2, "|", "#");
  auto batches = FetchAll(cursor);
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[0], "0|1|#2|#");
  EXPECT_EQ(batches[1], "1|3|#4|#");
}

TEST(ResultCursor, EmptyResultIsOneLastBatch) {
  ResultCursor cursor({}, 3, "\x01", "\x02");
  EXPECT_EQ(FetchAll(cursor), std::vector<std::string>{"1\x01"});
}

TEST(ResultCursor, SmallBufferIsNeverWrittenAndSizingRepeats) {
  ResultCursor cursor({{"hello"}, {"world"}}, 1, "\x01", "\x02");
  size_t size = cursor.NextSize();
  EXPECT_EQ(size, cursor.NextSize());  // sizing does not move on
  std::vector<char> buffer(size + 4, 'x');
  EXPECT_EQ(cursor.Fill(buffer.data(), size - 1), 0u);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(cursor.Fill(nullptr, 1000), 0u);
  EXPECT_EQ(cursor.Fill(buffer.data(), size), size);
  EXPECT_EQ(std::string(buffer.data()), "0\x01hello\x01\x02");
  EXPECT_EQ(buffer[size], 'x');
}

}  // namespace
}  // namespace pelmora::sim
