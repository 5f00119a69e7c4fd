// Training mode: walks the sources (files, and the source files of folders), streams them
// through the keyword scan, tests the keyword rules of the web and C++ sections against what
// it found and writes the advice report "result.html" into the current directory.
// Everything works on the borrowed Run workspace of the run. The parts have their own
// headers: the walk (advisor/input_walk.h), the scan (advisor/scan.h), the report
// (advisor/report.h).
#pragma once

#include <filesystem>
#include <span>

#include "advisor/input_walk.h"
#include "advisor/report.h"
#include "advisor/scan.h"
#include "base/mode_outcome.h"
#include "workspace/workspace.h"

namespace orven {

// The whole training run: scan, begin, web section, C++ section, closing chapters, write.
// result.html is left untouched unless the whole report was written. The outcome lists the
// files of folders that were skipped, whatever its status.
ModeOutcome run_advisor(Workspace& w, std::span<const std::filesystem::path> inputs);
ModeOutcome run_advisor(Workspace& w, std::span<const std::filesystem::path> inputs,
                        const ScanSettings& settings, const WalkOptions& walk = {});
// The same with the report written to `report_file` instead of result.html.
ModeOutcome run_advisor(Workspace& w, std::span<const std::filesystem::path> inputs,
                        const ScanSettings& settings, const WalkOptions& walk,
                        const std::filesystem::path& report_file);

}  // namespace orven
