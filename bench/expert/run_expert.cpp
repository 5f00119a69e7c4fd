// Runs one script through expert mode on a fresh workspace, as orven-cli expert does.
//   expert_bench_run SCRIPT
#include <cstdio>

#include "script/script.h"
#include "workspace/workspace.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: expert_bench_run SCRIPT\n");
    return 2;
  }
  orven::WorkspacePtr w = orven::create_workspace();
  const orven::ModeOutcome outcome = orven::run_script(*w, argv[1]);
  if (outcome.status != orven::ModeOutcome::Status::ok) {
    std::fprintf(stderr, "expert run failed (%llu log lines lost)\n",
                 static_cast<unsigned long long>(outcome.lines_lost));
    return 1;
  }
  return 0;
}
