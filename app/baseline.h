// --baseline: the findings of an earlier --format json or sarif output, which a run compares
// its own with. A finding is known when the baseline holds its rule in the same file (the
// file of its place, relative to the current folder), wherever in that file it stands now; a
// rule without keywords is known by the rule alone. What the baseline holds and the run no
// longer finds is absent.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "advisor/findings.h"
#include "app/findings_output.h"
#include "app/rule_selection.h"

namespace orven::app {

struct Baseline {
  std::vector<AbsentFinding> findings;  // rule, file and place as the baseline gives them
};

enum class BaselineRead {
  ok,
  unreadable,    // the file could not be opened or read (platform::failure_cause says why)
  not_findings,  // neither format, or not ours
};

// Reads the baseline. Its files stay as it names them: a relative one (JSON's as the walk
// gave it, SARIF's relative to its base) is taken as relative to the current folder.
BaselineRead read_baseline(const std::filesystem::path& file, Baseline& baseline);

// Sets run.baseline, run.known (per finding) and run.absent (the baseline's findings of the
// selected rules that no finding matched), comparing files relative to run.current_folder.
void compare_with_baseline(const Findings& findings, const Baseline& baseline,
                           const RuleSet& selected, FindingsRunInfo& run);

}  // namespace orven::app
