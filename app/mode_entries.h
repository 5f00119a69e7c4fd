// The two real modes, handed to the run sequence by the fronts. The sequence itself knows
// neither, so that it and its tests build without them.
#pragma once

#include "advisor/advisor.h"
#include "app/run_sequence.h"
#include "script/script.h"

namespace orven::app {

// run_advisor as the run sequence calls it: its inputs, and every setting as by default.
inline ModeOutcome run_training(Workspace& w, std::span<const std::filesystem::path> inputs) {
  return run_advisor(w, inputs);
}

inline const ModeEntries kModeEntries{&run_training, &run_script};

}  // namespace orven::app
