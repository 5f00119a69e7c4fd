// One training run on the given files and folders, as the program does it: a fresh
// workspace, the whole run, result.html written into the current directory. Prints the
// outcome and the time. Usage: training_run [--threads N] PATH...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "advisor/advisor.h"
#include "workspace/workspace.h"

int main(int argc, char** argv) {
  orven::ScanSettings settings;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--threads") == 0) {
    settings.threads = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
    first = 3;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: training_run [--threads N] PATH...\n");
    return 2;
  }
  const std::vector<std::filesystem::path> inputs(argv + first, argv + argc);
  const auto start = std::chrono::steady_clock::now();
  orven::WorkspacePtr workspace = orven::create_workspace();
  const orven::ModeOutcome outcome = orven::run_advisor(*workspace, inputs, settings);
  orven::destroy_workspace(workspace);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("training run: %.3f s, status %d, %zu skipped\n", took.count(),
              static_cast<int>(outcome.status), outcome.skipped.size());
  return outcome.status == orven::ModeOutcome::Status::ok ? 0 : 1;
}
