// The two real modes, handed to the run sequence by the fronts. The sequence itself knows
// neither, so that it and its tests build without them.
#pragma once

#include "advisor/advisor.h"
#include "app/run_sequence.h"
#include "script/script.h"

namespace orven::app {

inline constexpr ModeEntries kModeEntries{&run_advisor, &run_script};

}  // namespace orven::app
