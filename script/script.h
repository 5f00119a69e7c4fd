// Expert mode: runs a script line by line; every line that names a command appends one
// line to "orven_log.txt" in the current directory. The log only ever grows.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "workspace/mode_outcome.h"
#include "workspace/workspace.h"

namespace orven {

// The whole expert run. input_unreadable when the script cannot be opened (nothing runs,
// the log is not touched); output_unwritable with lines_lost when log lines were lost.
ModeOutcome run_script(Workspace& w, const std::filesystem::path& script);

}  // namespace orven
