// Expert mode: runs a script line by line; every line that names a command appends one
// line to "orven_log.txt" in the current directory. The log only ever grows.
// run_script owns the script file; execute_line owns the log, opened and closed once per
// line; evaluate_command owns the command set (script/command_set.h).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/mode_outcome.h"
#include "workspace/workspace.h"

namespace orven {

// The whole expert run. input_unreadable when the script cannot be opened (nothing runs,
// the log is not touched); output_unwritable with lines_lost when the log could not be
// opened or written on some line (the run goes on; lines already in the log stay);
// out_of_memory when a line did not fit in memory.
ModeOutcome run_script(Workspace& w, const std::filesystem::path& script);

// What one line did to the log.
struct LineLog {
  bool failed = false;     // the log could not be opened, written or closed
  bool line_lost = false;  // the line had a log line, and it did not reach the disk
};

// One script line (without its line feed): opens the log for appending, reads the command
// word into slot 23 and up to ten numbers into the arguments, runs evaluate_command when the
// word passes the command gate, and closes the log, so the line is on disk on return.
LineLog execute_line(Workspace& w, std::string_view line);

// The parsing half of execute_line: the line followed by the argument filler gives the
// command word (slot 23) and the arguments; after a failed number the later arguments keep
// the values of the previous line.
void parse_line(Workspace& w, std::string_view line);

// The command gate: the word contains "#root::math::" or "#root::hv::get_" anywhere.
bool passes_gate(std::string_view command_word);

// For a gated line: sets the verdict (0 unless a verdict command's range holds) and appends
// at most one log line to log, as it goes to disk (its line feed stored as CR LF).
void evaluate_command(Workspace& w, std::string& log);

}  // namespace orven
