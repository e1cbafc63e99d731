#include "crash/imaging/zip_archive.h"

#include "crash/imaging/compression.h"
#include "tests/unit/imaging/posix_zip_file_system.h"
#include "tests/unit/imaging/run_command.h"
#include "crash/base/crc32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using test::PosixZipFileSystem;
using test::RunCommand;
using test::ToU16;

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

class ZipArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("ostrel-zip-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::u16string Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    return ToU16((dir_ / name).string());
  }
  std::u16string PathOf(const std::string& name) { return ToU16((dir_ / name).string()); }

  fs::path dir_;
};

// An in-memory file system, to see the bytes and to make steps fail.
class MemoryFileSystem : public IZipFileSystem {
 public:
  class Output : public IZipOutput {
   public:
    Output(std::vector<std::uint8_t>& target, bool fail) : target_(target), fail_(fail) {}
    bool Write(const void* data, std::size_t length) override {
      if (fail_) return false;
      const auto* p = static_cast<const std::uint8_t*>(data);
      target_.insert(target_.end(), p, p + length);
      return true;
    }

   private:
    std::vector<std::uint8_t>& target_;
    bool fail_;
  };
  std::unique_ptr<IZipOutput> CreateArchive(const std::u16string&) override {
    archiveExists = true;
    archive.clear();
    return std::make_unique<Output>(archive, failWrites);
  }
  bool ReadSource(const std::u16string& path, ZipSourceFile& file) override {
    auto it = files.find(path);
    if (it == files.end()) return false;
    file = it->second;
    return true;
  }
  void DeleteArchive(const std::u16string&) override { archiveExists = false; }

  std::map<std::u16string, ZipSourceFile> files;
  std::vector<std::uint8_t> archive;
  bool archiveExists = false;
  bool failWrites = false;
};

ZipSourceFile Source(const std::string& text, std::uint16_t time, std::uint16_t date,
                     std::uint32_t attributes) {
  ZipSourceFile f;
  f.content.assign(text.begin(), text.end());
  f.dosTime = time;
  f.dosDate = date;
  f.attributes = attributes;
  return f;
}

TEST(ZipEntryName, TakesPartAfterLastSeparator) {
  EXPECT_EQ(ZipEntryNameOf(u"C:\\Temp\\Ostrel\\bugreport.txt"), u"bugreport.txt");
  EXPECT_EQ(ZipEntryNameOf(u"C:/Temp/screenshot.png"), u"screenshot.png");
  EXPECT_EQ(ZipEntryNameOf(u"plain.txt"), u"plain.txt");
}

TEST(WriteZipArchive, LaysOutHeadersDirectoryAndEndRecord) {
  MemoryFileSystem mem;
  mem.files[u"C:\\a\\first.txt"] = Source("hello hello hello", 0x6B2F, 0x5A21, 0x20);
  mem.files[u"C:\\a\\second.bin"] = Source(std::string(1000, 'x'), 0x0001, 0x0021, 0x21);
  const std::vector<std::u16string> paths = {u"C:\\a\\first.txt", u"C:\\a\\second.bin"};
  const std::vector<std::u16string> names = {u"\u00C4rger.txt"};
  ASSERT_TRUE(WriteZipArchive(mem, u"out.zip", paths, names));
  ASSERT_TRUE(mem.archiveExists);
  const auto& z = mem.archive;

  const std::string name0 = "\xC3\x84rger.txt", name1 = "second.bin";
  ASSERT_GE(z.size(), 30u);
  EXPECT_EQ(Le32(z, 0), 0x04034B50u);
  EXPECT_EQ(Le16(z, 4), 20);
  EXPECT_EQ(Le16(z, 6), 0x0800);
  EXPECT_EQ(Le16(z, 8), 8);
  EXPECT_EQ(Le16(z, 10), 0x6B2F);
  EXPECT_EQ(Le16(z, 12), 0x5A21);
  EXPECT_EQ(Le32(z, 14), Crc32Update(0xFFFFFFFF, "hello hello hello", 17) ^ 0xFFFFFFFF);
  const std::uint32_t packed0 = Le32(z, 18);
  EXPECT_EQ(Le32(z, 22), 17u);
  EXPECT_EQ(Le16(z, 26), name0.size());
  EXPECT_EQ(Le16(z, 28), 0);
  EXPECT_EQ(std::string(z.begin() + 30, z.begin() + 30 + name0.size()), name0);
  std::vector<std::uint8_t> back(17);
  EXPECT_EQ(InflateBuffer(z.data() + 30 + name0.size(), packed0, back.data(), 17), 17);

  const std::size_t second = 30 + name0.size() + packed0;
  EXPECT_EQ(Le32(z, second), 0x04034B50u);
  EXPECT_EQ(Le16(z, second + 26), name1.size());
  const std::size_t directory = second + 30 + name1.size() + Le32(z, second + 18);

  // End record.
  ASSERT_EQ(z.size(), directory + 46 * 2 + name0.size() + name1.size() + 22);
  const std::size_t end = z.size() - 22;
  EXPECT_EQ(Le32(z, end), 0x06054B50u);
  EXPECT_EQ(Le16(z, end + 4), 0);
  EXPECT_EQ(Le16(z, end + 6), 0);
  EXPECT_EQ(Le16(z, end + 8), 2);
  EXPECT_EQ(Le16(z, end + 10), 2);
  EXPECT_EQ(Le32(z, end + 12), 46 * 2 + name0.size() + name1.size());
  EXPECT_EQ(Le32(z, end + 16), directory);
  EXPECT_EQ(Le16(z, end + 20), 0);

  // Central headers repeat the local fields and add attributes and offsets.
  std::size_t at = directory;
  const std::size_t locals[] = {0, second};
  const std::uint32_t attributes[] = {0x20, 0x21};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Le32(z, at), 0x02014B50u);
    EXPECT_EQ(Le16(z, at + 4), 20);
    EXPECT_TRUE(std::equal(z.begin() + at + 6, z.begin() + at + 30, z.begin() + locals[i] + 4));
    for (std::size_t k = 30; k < 38; k += 2) EXPECT_EQ(Le16(z, at + k), 0) << k;
    EXPECT_EQ(Le32(z, at + 38), attributes[i]);
    EXPECT_EQ(Le32(z, at + 42), locals[i]);
    at += 46 + Le16(z, at + 28);
  }
}

TEST(WriteZipArchive, FailedWriteLeavesNoArchive) {
  MemoryFileSystem mem;
  mem.files[u"a.txt"] = Source("data", 0, 0x21, 0x20);
  mem.failWrites = true;
  const std::vector<std::u16string> paths = {u"a.txt"};
  EXPECT_FALSE(WriteZipArchive(mem, u"out.zip", paths, {}));
  EXPECT_FALSE(mem.archiveExists);
}

TEST_F(ZipArchiveTest, PassesUnzipAndPythonWithUnreadableFileLeftOut) {
  const std::string big(200000, 'q');
  const std::vector<std::u16string> paths = {Write("bugreport.txt", "line one\r\nline two\r\n"),
                                             PathOf("missing.txt"), Write("big.dat", big),
                                             ToU16(dir_.string())};  // a folder: unreadable
  // An empty or missing name falls back to the file's own.
  const std::vector<std::u16string> names = {u"", u"", u"\u00FCber \u20AC.dat"};
  const std::vector<std::u16string> someNames = {u"report.txt"};
  PosixZipFileSystem posix;
  const std::u16string archive = PathOf("out.zip");
  ASSERT_TRUE(WriteZipArchive(posix, archive, paths, someNames));
  int status = 0;
  const std::string listing = RunCommand("unzip -t '" + (dir_ / "out.zip").string() + "'", &status);
  EXPECT_EQ(status, 0) << listing;
  EXPECT_NE(listing.find("report.txt"), std::string::npos) << listing;
  EXPECT_NE(listing.find("big.dat"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("missing"), std::string::npos) << listing;

  ASSERT_TRUE(WriteZipArchive(posix, archive, std::span(paths).first(3), names));
  const std::string script =
      "import zipfile,sys\n"
      "z=zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "for i in z.infolist():\n"
      "  print(repr(i.filename), i.flag_bits & 0x800, i.compress_type, i.file_size,"
      " i.date_time[0] >= 1980)\n"
      "print(z.read('\\u00fcber \\u20ac.dat') == b'q'*200000)\n";
  std::ofstream(dir_ / "check.py") << script;
  const std::string out =
      RunCommand(std::string(test::PythonWithPil()) + " '" + (dir_ / "check.py").string() + "' '" +
                     (dir_ / "out.zip").string() + "'",
                 &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out,
            "'bugreport.txt' 2048 8 20 True\n"
            "'über €.dat' 2048 8 200000 True\n"
            "True\n");
}

TEST_F(ZipArchiveTest, OnlyUnreadableFilesGiveFalseAndNoArchive) {
  PosixZipFileSystem posix;
  std::ofstream(dir_ / "out.zip") << "an older archive";
  const std::vector<std::u16string> paths = {PathOf("nope1"), PathOf("nope2")};
  EXPECT_FALSE(WriteZipArchive(posix, PathOf("out.zip"), paths, {}));
  EXPECT_FALSE(fs::exists(dir_ / "out.zip"));
  EXPECT_FALSE(WriteZipArchive(posix, PathOf("out.zip"), {}, {}));
  EXPECT_FALSE(fs::exists(dir_ / "out.zip"));
  EXPECT_FALSE(WriteZipArchive(posix, PathOf("no-such-folder/out.zip"),
                               std::vector<std::u16string>{Write("a", "a")}, {}));
}

TEST_F(ZipArchiveTest, ShortWriteDeletesPartialArchive) {
  PosixZipFileSystem posix;
  posix.writeLimit = 40;
  const std::vector<std::u16string> paths = {Write("a.txt", std::string(5000, 'a'))};
  EXPECT_FALSE(WriteZipArchive(posix, PathOf("out.zip"), paths, {}));
  EXPECT_FALSE(fs::exists(dir_ / "out.zip"));
}

}  // namespace
}  // namespace ostrel
