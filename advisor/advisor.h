// Training mode: reads one source file into the scanned text, tests the keyword rules of the
// web and C++ sections against it and writes the advice report "result.html" into the
// current directory. Everything works on the borrowed Run workspace of the run.
#pragma once

#include <filesystem>
#include <string_view>

#include "base/mode_outcome.h"
#include "workspace/workspace.h"

namespace orven {

// The whole training run: load, begin, web section, C++ section, closing chapters, write.
// result.html is left untouched unless the whole report was written.
ModeOutcome run_advisor(Workspace& w, const std::filesystem::path& source);

// Appends every word of the file to slot 200 (slot 0 holds the last word); input_unreadable
// when the file cannot be opened or read.
ModeOutcome load_source(Workspace& w, const std::filesystem::path& source);

// Slot 300 = head template + report header; slots 301-303 = the rule block pieces.
void begin_report(Workspace& w);

// True when the keyword occurs in slot 200 before its first zero byte. A keyword written
// with blanks is matched in its blank-free form, since the scanned text holds none.
bool scanned_contains(const Workspace& w, std::string_view keyword);

// Appends slot 301 + advice + slot 302 + example + slot 303 to slot 300, in one piece.
void append_rule_block(Workspace& w, std::string_view advice, std::string_view example);

// Append one rule block per firing rule of the web / C++ list, in list order, with the keyword
// answers the training run settled in one pass over the scanned text.
class KeywordScan;
void run_web_rules(Workspace& w, const KeywordScan& scan);
void run_cpp_rules(Workspace& w, const KeywordScan& scan);
void append_closing_chapters(Workspace& w);

// Replaces "result.html" with slot 300 (LF stored as CR LF), never leaving it half written.
// False when it could not be written, or when the name is not this user's regular file.
bool write_report(const Workspace& w);

}  // namespace orven
