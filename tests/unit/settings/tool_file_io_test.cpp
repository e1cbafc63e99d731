#include "tools/common/file_io.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace ostrel::tools {
namespace {

TEST(ToolFileIo, WritesReplacesAndReadsBack) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "ostrel_tool_file_io_test.bin").string();
  const std::vector<std::uint8_t> bytes = {0, 1, 0xFF, '\r', '\n', 0x1A, 'x'};
  ASSERT_TRUE(WriteFile(path, std::vector<std::uint8_t>(100, 7)));
  ASSERT_TRUE(WriteFile(path, bytes));
  std::vector<std::uint8_t> read = {42};
  ASSERT_TRUE(ReadFile(path, read));
  EXPECT_EQ(read, bytes) << "the shorter file replaced the longer one, byte for byte";
  ASSERT_TRUE(WriteFile(path, nullptr, 0));
  ASSERT_TRUE(ReadFile(path, read));
  EXPECT_TRUE(read.empty());
  std::remove(path.c_str());
}

TEST(ToolFileIo, FailuresAreReported) {
  std::vector<std::uint8_t> read;
  EXPECT_FALSE(ReadFile("/nonexistent-folder/none.bin", read));
  EXPECT_FALSE(WriteFile("/nonexistent-folder/none.bin", std::vector<std::uint8_t>{1}));
  // A device that takes the open but refuses the bytes: the failure shows
  // only when the buffer is flushed.
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_FALSE(WriteFile("/dev/full", std::vector<std::uint8_t>(10, 1)));
  }
}

}  // namespace
}  // namespace ostrel::tools
