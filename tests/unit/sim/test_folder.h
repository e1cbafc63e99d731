#pragma once

#include <filesystem>
#include <random>
#include <string>

// A fresh folder under the system's temporary folder, removed at the end.
class TestFolder {
 public:
  TestFolder() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("gm-sim-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TestFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};
