#include "crash/report/file/report_save.h"

#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <vector>

#include "crash/base/utf.h"

namespace ostrel {
namespace {

// Files in memory; a write beside can fail after a number of bytes, and the
// file can be held by another process for a number of tries.
class FakeStore : public IReportFileStore {
 public:
  std::map<std::u16string, std::string> files;
  std::map<std::u16string, bool> unopenable;
  std::size_t failAfter = std::string::npos;
  bool readFails = false, moveFails = false;
  int busyTries = 0;  // tries of PutInPlace that find the file held
  int placeTries = 0, writes = 0;
  std::vector<int> pauses;
  std::u16string open;
  std::string beside;
  bool besideExists = false;

  bool Open(const std::u16string& path) override {
    if (unopenable[path]) return false;
    open = path;
    files[path];  // created when absent
    return true;
  }
  bool ReadAll(std::string& out) override {
    out = files[open];
    return !readFails;
  }
  bool WriteBeside(const std::string& content) override {
    ++writes;
    besideExists = true;
    beside = content.substr(0, std::min(failAfter, content.size()));
    return failAfter == std::string::npos;
  }
  PlaceOutcome PutInPlace() override {
    ++placeTries;
    if (moveFails) return PlaceOutcome::Failed;
    if (busyTries > 0) {
      --busyTries;
      return PlaceOutcome::Busy;
    }
    files[open] = beside;
    besideExists = false;
    return PlaceOutcome::Placed;
  }
  void Pause(int milliseconds) override { pauses.push_back(milliseconds); }
  void DiscardBeside() override {
    besideExists = false;
    beside.clear();
  }
  void Close() override { open.clear(); }
};

std::u16string Report(const char16_t* time) {
  return u"date/time         : " + std::u16string(time) +
         u"\r\nexecutable        : P.exe\r\nversion           : 1.1\r\n"
         u"exception class   : E\r\ncallstack crc     : $0A0B0C0D, $11223344, $55667788\r\n"
         u"\r\nmain thread:\r\nline";
}

TEST(ReportSave, AFailingWriteLosesNothingTheFileHeld) {
  FakeStore store;
  const std::u16string path = u"C:\\P\\bugreport.txt";
  ASSERT_TRUE(SaveReport(store, path, u"", Report(u"1"), {}).saved);
  const std::string before = store.files[path];
  for (std::size_t cut : {std::size_t{0}, std::size_t{10}, before.size() + 5}) {
    store.failAfter = cut;
    const SaveOutcome o = SaveReport(store, path, u"", Report(u"2"), {});
    EXPECT_FALSE(o.saved);
    EXPECT_EQ(store.files[path], before) << "cut after " << cut;
    EXPECT_FALSE(store.besideExists);
  }
  store.failAfter = std::string::npos;
  store.moveFails = true;
  EXPECT_FALSE(SaveReport(store, path, u"", Report(u"2"), {}).saved);
  EXPECT_EQ(store.files[path], before);
  store.moveFails = false;
  store.readFails = true;
  EXPECT_FALSE(SaveReport(store, path, u"", Report(u"2"), {}).saved);
  EXPECT_EQ(store.files[path], before) << "a file that cannot be read is not replaced";
  store.readFails = false;
  const SaveOutcome repeated = SaveReport(store, path, u"", Report(u"3"), {});
  EXPECT_TRUE(repeated.saved);
  EXPECT_EQ(repeated.count, 2);
}

TEST(ReportSave, AFileHeldByAnotherProcessIsTriedAgainForAboutASecond) {
  const std::u16string path = u"C:\\P\\bugreport.txt";
  {
    // Let go after a few tries: the save succeeds with the copy written once.
    FakeStore store;
    ASSERT_TRUE(SaveReport(store, path, u"", Report(u"1"), {}).saved);
    store.placeTries = store.writes = 0;
    store.busyTries = 3;
    const SaveOutcome o = SaveReport(store, path, u"", Report(u"2"), {});
    EXPECT_TRUE(o.saved);
    EXPECT_EQ(store.placeTries, 4);
    EXPECT_EQ(store.writes, 1);
    EXPECT_EQ(store.pauses.size(), 3u);
    EXPECT_NE(store.files[path].find("date/time         : 2"), std::string::npos);
    EXPECT_FALSE(store.besideExists);
  }
  {
    // Held for good: the save gives up after about a second, the file as it
    // was and no copy left behind.
    FakeStore store;
    ASSERT_TRUE(SaveReport(store, path, u"", Report(u"1"), {}).saved);
    const std::string before = store.files[path];
    store.placeTries = 0;
    store.busyTries = 1000;
    EXPECT_FALSE(SaveReport(store, path, u"", Report(u"2"), {}).saved);
    EXPECT_EQ(store.placeTries, kPlaceTries);
    const int waited = std::accumulate(store.pauses.begin(), store.pauses.end(), 0);
    EXPECT_GE(waited, 800);
    EXPECT_LE(waited, 1200);
    EXPECT_EQ(store.files[path], before);
    EXPECT_FALSE(store.besideExists);
    EXPECT_TRUE(store.open.empty()) << "the file is closed";
  }
  {
    // Any other failure is final at once.
    FakeStore store;
    store.moveFails = true;
    EXPECT_FALSE(SaveReport(store, path, u"", Report(u"1"), {}).saved);
    EXPECT_EQ(store.placeTries, 1);
    EXPECT_TRUE(store.pauses.empty());
  }
}

TEST(ReportSave, AFileThatCannotBeOpenedFallsBackOrSavesNothing) {
  FakeStore store;
  const std::u16string path = u"C:\\P\\bugreport.txt", fallback = u"C:\\Users\\a\\P\\bugreport.txt";
  store.unopenable[path] = true;
  SaveOutcome o = SaveReport(store, path, fallback, Report(u"1"), {});
  EXPECT_TRUE(o.saved);
  EXPECT_EQ(o.path, fallback);
  EXPECT_FALSE(store.files[fallback].empty());
  store.unopenable[fallback] = true;
  EXPECT_FALSE(SaveReport(store, path, fallback, Report(u"2"), {}).saved);
  EXPECT_FALSE(SaveReport(store, path, u"", Report(u"2"), {}).saved);
  EXPECT_FALSE(SaveReport(store, u"C:\\x.txt", u"", u"", {}).saved) << "an empty report";
}

}  // namespace
}  // namespace ostrel
