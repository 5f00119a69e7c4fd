// A fresh temporary folder that is the current directory for the length of one test, as
// the run sequence writes its files into the current directory.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace orven::testing {

class TempCurrentFolder {
 public:
  TempCurrentFolder() : previous_(std::filesystem::current_path()) {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("orven-app-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~TempCurrentFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempCurrentFolder(const TempCurrentFolder&) = delete;
  TempCurrentFolder& operator=(const TempCurrentFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

}  // namespace orven::testing
