#include "crash/report/file/report_save.h"

#include <gtest/gtest.h>

#include <map>

#include "crash/base/utf.h"

namespace ostrel {
namespace {

// Files in memory; a write beside can fail after a number of bytes.
class FakeStore : public IReportFileStore {
 public:
  std::map<std::u16string, std::string> files;
  std::map<std::u16string, bool> unopenable;
  std::size_t failAfter = std::string::npos;
  bool readFails = false, moveFails = false;
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
    besideExists = true;
    beside = content.substr(0, std::min(failAfter, content.size()));
    return failAfter == std::string::npos;
  }
  bool PutInPlace() override {
    if (moveFails) return false;
    files[open] = beside;
    besideExists = false;
    return true;
  }
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
