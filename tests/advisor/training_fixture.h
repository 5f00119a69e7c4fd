// Runs training mode the way the program does, inside a fresh temporary folder that is the
// current directory for the length of one test, and reads the report back rule by rule.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/advisor.h"
#include "expected_rules.h"
#include "texts/cp1251.h"
#include "workspace/workspace.h"

namespace orven::testing {

// The first text of the closing chapters: the sections end where it begins.
inline constexpr std::string_view kClosingStart =
    "</div><div class=\"b1\"><h2>Самое важное при разработке программ</h2>\n"_cp;
inline constexpr std::string_view kWebHeading =
    "<h2>Результаты анализа веб-кода (PHP и/или XHTML)</h2>"_cp;
inline constexpr std::string_view kCppHeading = "<h2>Результаты анализа кода на C++</h2>"_cp;
inline constexpr std::string_view kHeaderEnd = "</div><div class=\"b1\">\n\n";

// The rounds of a randomized scan test. Under Wine every wait of the scan's threads and every
// file made is a round trip to the Wine server (the five largest such tests took over two
// minutes), so the Windows builds run a quarter of the rounds, the Linux builds (the
// sanitizers' too) all of them.
constexpr int random_rounds(int rounds) {
#ifdef _WIN32
  return rounds / 4;
#else
  return rounds;
#endif
}

inline std::string read_bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The text cut into up to six files at random places (empty files too), in order.
inline std::vector<std::string> split_at_random(const std::string& text, std::mt19937& random) {
  std::vector<std::size_t> cuts(random() % 6);
  for (std::size_t& cut : cuts) cut = text.empty() ? 0 : random() % text.size();
  std::sort(cuts.begin(), cuts.end());
  std::vector<std::string> files;
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    files.push_back(text.substr(from, cut - from));
    from = cut;
  }
  files.push_back(text.substr(from));
  return files;
}

inline void write_bytes(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream(file, std::ios::binary).write(bytes.data(), std::ssize(bytes));
}

class TrainingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() /
           ("orven-advisor-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }

  // Writes the source into the folder and runs training mode on it.
  ModeOutcome run(std::string_view source) {
    write_bytes("source.txt", source);
    return run_file("source.txt");
  }
  ModeOutcome run_file(const std::filesystem::path& file) { return run_paths({file}); }
  ModeOutcome run_paths(const std::vector<std::filesystem::path>& paths,
                        const ScanSettings& settings = {}) {
    workspace_ = create_workspace();
    return run_advisor(*workspace_, paths, settings);
  }
  const std::string& report() const { return orven::report(*workspace_); }

  // The part of the report between its header and the closing chapters.
  std::string_view sections() const {
    const std::string_view text = report();
    const std::size_t from = text.find(kHeaderEnd) + kHeaderEnd.size();
    return text.substr(from, text.find(kClosingStart) - from);
  }

  // The numbers (from 1) of the rules whose blocks stand in text, in the order they stand.
  template <std::size_t N>
  static std::vector<int> fired(std::string_view text, const std::array<ExpectedRule, N>& list) {
    static constexpr std::string_view kExampleOpener = "</p><div class=\"code_b1\"><p>";
    std::vector<int> numbers;
    for (std::size_t at = text.find("<p>"); at != std::string_view::npos;
         at = text.find("<p>", at + 1)) {
      const std::size_t end = text.find(kExampleOpener, at);
      if (end == std::string_view::npos) break;
      const std::string_view advice = text.substr(at + 3, end - at - 3);
      for (std::size_t i = 0; i < N; ++i) {
        if (list[i].advice == advice) numbers.push_back(static_cast<int>(i) + 1);
      }
    }
    return numbers;
  }
  std::vector<int> web_rules() const {
    const std::string_view text = sections();
    return fired(text.substr(0, text.find(kCppHeading)), kWebExpected);
  }
  std::vector<int> cpp_rules() const {
    const std::string_view text = sections();
    const std::size_t heading = text.find(kCppHeading);
    return heading == std::string_view::npos ? std::vector<int>{}
                                             : fired(text.substr(heading), kCppExpected);
  }

  std::filesystem::path dir_, previous_;
  WorkspacePtr workspace_;
};

}  // namespace orven::testing
