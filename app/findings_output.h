// The findings of a training run in the formats that tools read: SARIF 2.1.0 for code
// scanning in CI, our own JSON (described by app/findings.schema.json) for scripts, and the
// GNU error format (FILE:LINE:COLUMN: note: ADVICE [ID]) for editors. All of them UTF-8.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/findings.h"

namespace orven::app {

enum class FindingsFormat { sarif, json, gnu };

// What the run around the findings adds to a SARIF log: its arguments, exit code and the
// folder that relative names start from.
struct FindingsRunInfo {
  std::vector<std::string> arguments;  // UTF-8, the program's name first
  int exit_code = 0;
  std::filesystem::path current_folder;
};

// The version of our JSON format; a change that breaks readers raises it.
inline constexpr int kFindingsJsonVersion = 1;

// A fixed text with its markup (line breaks, character entities) turned into lines, UTF-8.
std::vector<std::string> markup_lines(std::string_view cp1251);

std::string findings_text(FindingsFormat format, const Findings& findings,
                          const FindingsRunInfo& run);

}  // namespace orven::app
