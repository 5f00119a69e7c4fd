// What one start of orven-cli asks for: its command line, checked and put into one value
// that the modes take. request.cpp owns the options: one table of them, read by one loop,
// then the rules of which go together.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "advisor/input_walk.h"
#include "advisor/scan.h"
#include "app/findings_output.h"
#include "app/rule_selection.h"
#include "app/run_sequence.h"
#include "base/platform.h"

namespace orven::cli {

enum class Action { run, help, version, list_rules, explain };

// Where --output sends the result: the mode's own file (result.html, or stdout for the
// machine formats), a named file, standard output ("-", /dev/stdout) or nowhere (/dev/null).
enum class OutputTo { mode_default, file, standard_output, nowhere };

enum class Color { automatic, always, never };

struct RunRequest {
  Action action = Action::run;
  app::Mode mode = app::Mode::training;
  std::vector<std::filesystem::path> inputs;  // after the mode word, as the system gave them
  bool open = false;
  WalkOptions walk;
  ScanSettings scan;  // the matching mode, the suppression markers, standard input
  std::optional<app::FindingsFormat> format;  // none: the html report
  bool rules_json = false;                    // --list-rules --format json
  OutputTo output_to = OutputTo::mode_default;
  std::filesystem::path output;  // OutputTo::file
  int error_exitcode = 0;        // 0: not asked for
  RuleSet selected;              // every rule unless --select or --disable narrow it
  std::optional<std::filesystem::path> baseline;
  Color color = Color::automatic;
  const RuleRef* explain = nullptr;
};

// The request, or the usage error's message (UTF-8, one line, the usage text not included).
struct Parsed {
  std::optional<RunRequest> request;
  std::string error;
};
Parsed parse_command_line(const std::vector<platform::Argument>& args);

}  // namespace orven::cli
