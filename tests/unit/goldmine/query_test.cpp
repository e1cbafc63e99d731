#include "goldmine/query.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>

namespace pelmora {
namespace {

// Replays scripted batches; an empty optional batch is a failed fetch.
class ScriptedSource : public IQuerySource {
 public:
  int handle = 7;
  std::deque<std::optional<std::string>> batches;
  std::string lastSql;
  int queries = 0, sizeCalls = 0, fetches = 0, closes = 0, closedHandle = -100;
  bool sizeLies = false;

  int Query(const std::string& sql, char fd, char rd) override {
    lastSql = sql;
    EXPECT_EQ(fd, '\x01');
    EXPECT_EQ(rd, '\x02');
    ++queries;
    return handle;
  }
  int FetchSize(int h) override {
    EXPECT_EQ(h, handle);
    ++sizeCalls;
    if (batches.empty() || !batches.front()) return 16;
    return static_cast<int>(batches.front()->size() + 1) + (sizeLies ? 1000 : 0);
  }
  int Fetch(int h, char* buffer, int size) override {
    EXPECT_EQ(h, handle);
    ++fetches;
    if (batches.empty()) return 0;
    auto batch = batches.front();
    batches.pop_front();
    if (!batch) return 0;
    EXPECT_GE(size, static_cast<int>(batch->size() + 1));
    std::memcpy(buffer, batch->c_str(), batch->size() + 1);
    return 1;
  }
  void Close(int h) override {
    ++closes;
    closedHandle = h;
  }
};

const std::vector<std::string> kColumns = {"Accountno", "Recid", "Contact"};

TEST(QueryTable, RowsOfAllBatchesInFetchOrderAndLastRowCurrent) {
  ScriptedSource s;
  s.batches = {std::string("0\x01"
                           "A1\x01"
                           "R1\x01"
                           "Ann\x01\x02"),
               std::string("1\x01"
                           "A2\x01"
                           "R2\x01"
                           "Bob\x01\x02"
                           "A3\x01"
                           "R3\x01"
                           "Cy\x01\x02")};
  auto t = QueryTable(s, "sql", kColumns);
  ASSERT_EQ(t->RowCount(), 3u);
  EXPECT_EQ(t->Field(0, 2), "Ann");
  EXPECT_EQ(t->Field(2, 0), "A3");
  EXPECT_EQ(t->CurrentRow(), 2u);
  EXPECT_EQ(t->CurrentField("CONTACT"), "Cy");
  EXPECT_EQ(s.fetches, 2);
  EXPECT_EQ(s.sizeCalls, 2);
  EXPECT_EQ(s.closes, 1);
}

TEST(QueryTable, ShortTextLeavesRemainingColumnsEmpty) {
  ScriptedSource s;
  s.batches = {
      std::string("1\x01"
                  "A1\x01"
                  "R1\x01"
                  "Ann\x01\x02"
                  "A2\x01")};
  auto t = QueryTable(s, "sql", kColumns);
  ASSERT_EQ(t->RowCount(), 2u);
  EXPECT_EQ(t->Field(1, 0), "A2");
  EXPECT_EQ(t->Field(1, 1), "");
}

TEST(QueryTable, BadHandleGivesEmptyTableAndStillCloses) {
  ScriptedSource s;
  s.handle = 0;
  auto t = QueryTable(s, "sql", kColumns);
  EXPECT_EQ(t->RowCount(), 0u);
  EXPECT_FALSE(t->CurrentRow());
  EXPECT_FALSE(t->CurrentField("contact"));
  EXPECT_EQ(s.fetches, 0);
  EXPECT_EQ(s.closes, 1);
  EXPECT_EQ(s.closedHandle, 0);
}

TEST(QueryLoop, FailedFetchAfterMoreToComeStatusEndsTheLoop) {
  ScriptedSource s;
  s.batches = {std::string("0\x01"
                           "A1\x01"
                           "R1\x01"
                           "Ann\x01\x02"),
               std::nullopt,
               std::string("1\x01"
                           "never\x01")};
  auto t = QueryTable(s, "sql", kColumns);
  EXPECT_EQ(t->RowCount(), 1u);
  EXPECT_EQ(s.fetches, 2);
  EXPECT_EQ(s.closes, 1);
}

TEST(QueryLoop, ServerThatAlwaysFailsAfterStatusZeroTerminates) {
  ScriptedSource s;
  s.batches = {std::string("0\x01")};  // then every fetch fails
  std::string value;
  QueryValue(s, "sql", value);
  EXPECT_EQ(s.fetches, 2);
  EXPECT_EQ(value, "");
}

TEST(QueryValue, LastFieldWinsAcrossBatches) {
  ScriptedSource s;
  s.batches = {std::string("0\x01"
                           "x\x01\x02"),
               std::string("1\x01"
                           "C\x01\x02")};
  std::string value;
  QueryValue(s, " select rectype", value);
  EXPECT_EQ(value, "C");
  EXPECT_EQ(s.lastSql, " select rectype");
}

TEST(QueryValue, NoRowsLeavesCallersValue) {
  ScriptedSource s;
  s.batches = {std::string("1\x01")};
  std::string value = "keep";
  QueryValue(s, "sql", value);
  EXPECT_EQ(value, "keep");
}

TEST(MemTableColumns, ValuesAreCutToEightyCharacters) {
  MemTable t({"Website"});
  t.AppendRow();
  t.SetField(0, std::string(100, 'x'));
  EXPECT_EQ(t.CurrentField("website")->size(), 80u);
}

}  // namespace
}  // namespace pelmora
