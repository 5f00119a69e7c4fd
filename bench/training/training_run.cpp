// One training run on the given source, as the program does it: a fresh workspace, the whole
// run, result.html written into the current directory. Prints the outcome and the time.
#include <chrono>
#include <cstdio>

#include "advisor/advisor.h"
#include "workspace/workspace.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: training_run SOURCE\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  orven::WorkspacePtr workspace = orven::create_workspace();
  const orven::ModeOutcome outcome = orven::run_advisor(*workspace, argv[1]);
  const std::size_t scanned = orven::scanned_text(*workspace).size();
  orven::destroy_workspace(workspace);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("training run: %.3f s, scanned text %zu bytes, status %d\n", took.count(), scanned,
              static_cast<int>(outcome.status));
  return outcome.status == orven::ModeOutcome::Status::ok ? 0 : 1;
}
