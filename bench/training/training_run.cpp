// One training run on the given files and folders, as the program does it: a fresh
// workspace, the whole run, result.html written into the current directory, or with
// --format sarif the findings' SARIF log made and written to stdout as orven-cli does (matched
// in code unless --match text). Prints the outcome and the time on stderr.
// Usage: training_run [--threads N] [--format sarif] [--match code|text] PATH...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "advisor/advisor.h"
#include "advisor/findings.h"
#include "app/findings_output.h"
#include "workspace/workspace.h"

int main(int argc, char** argv) {
  orven::ScanSettings settings;
  bool sarif = false;
  settings.match = orven::MatchMode::code;  // for the SARIF log; the report is always text
  int first = 1;
  for (; first + 1 < argc; first += 2) {
    if (std::strcmp(argv[first], "--threads") == 0) {
      settings.threads = static_cast<unsigned>(std::strtoul(argv[first + 1], nullptr, 10));
    } else if (std::strcmp(argv[first], "--chunk") == 0) {
      settings.chunk_bytes = std::strtoul(argv[first + 1], nullptr, 10);
    } else if (std::strcmp(argv[first], "--format") == 0 &&
               std::strcmp(argv[first + 1], "sarif") == 0) {
      sarif = true;
    } else if (std::strcmp(argv[first], "--match") == 0) {
      settings.match = std::strcmp(argv[first + 1], "text") == 0 ? orven::MatchMode::text
                                                                 : orven::MatchMode::code;
    } else {
      break;
    }
  }
  if (first >= argc) {
    std::fprintf(
        stderr, "usage: training_run [--threads N] [--format sarif] [--match code|text] PATH...\n");
    return 2;
  }
  const std::vector<std::filesystem::path> inputs(argv + first, argv + argc);
  const auto start = std::chrono::steady_clock::now();
  orven::WorkspacePtr workspace = orven::create_workspace();
  orven::ModeOutcome outcome;
  if (sarif) {
    const orven::Findings findings = orven::find_advice(*workspace, inputs, settings);
    outcome = findings.outcome;
    orven::app::FindingsRunInfo info{{"training_run"}, 0, std::filesystem::current_path()};
    const std::string log =
        orven::app::findings_text(orven::app::FindingsFormat::sarif, findings, info);
    std::fwrite(log.data(), 1, log.size(), stdout);
  } else {
    outcome = orven::run_advisor(*workspace, inputs, settings);
  }
  orven::destroy_workspace(workspace);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::fprintf(stderr, "training run: %.3f s, status %d, %zu skipped\n", took.count(),
               static_cast<int>(outcome.status), outcome.skipped.size());
  return outcome.status == orven::ModeOutcome::Status::ok ? 0 : 1;
}
