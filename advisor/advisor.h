// Training mode: streams the sources (files, and the files of folders) through the keyword
// scan, tests the keyword rules of the web and C++ sections against what it found and writes
// the advice report "result.html" into the current directory. Everything works on the
// borrowed Run workspace of the run.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string_view>

#include "advisor/input_walk.h"
#include "base/mode_outcome.h"
#include "workspace/workspace.h"

namespace orven {

// How the scan uses the machine. The report is the same whatever they are.
struct ScanSettings {
  unsigned threads = 0;         // 0: one per CPU this process may run on
  std::size_t chunk_bytes = 0;  // bytes read at a time; 0: 8 MiB shared by the threads
};

// Slot 0 keeps at most this much of the end of the last word.
inline constexpr std::size_t kWordKept = 256;

// The whole training run: scan, begin, web section, C++ section, closing chapters, write.
// result.html is left untouched unless the whole report was written. The outcome lists the
// files of folders that were skipped, whatever its status.
ModeOutcome run_advisor(Workspace& w, std::span<const std::filesystem::path> inputs);
ModeOutcome run_advisor(Workspace& w, std::span<const std::filesystem::path> inputs,
                        const ScanSettings& settings, const WalkOptions& walk = {});

class KeywordScan;

// Scans the inputs in order, as one text of all their bytes one after another, each file's
// bytes only up to its first zero byte, with whitespace taken out; adds what it finds to
// scan. Inputs are given files, whose failure fails the run (input_unreadable, naming the
// first in order that failed), and folders, walked as advisor/input_walk.h says, whose files
// are skipped when they cannot be read. Leaves in slot 200 the end of the scanned text, as
// long as the longest keyword less one byte, and in slot 0 the last word (its last kWordKept
// bytes): never more, however large the inputs. Once every keyword is found nothing more is
// read, and both slots stay as they were then.
ModeOutcome scan_sources(Workspace& w, std::span<const std::filesystem::path> inputs,
                         const ScanSettings& settings, KeywordScan& scan,
                         const WalkOptions& walk = {});

// Slot 300 = head template + report header; slots 301-303 = the rule block pieces.
void begin_report(Workspace& w);

// The keyword test: true when the keyword, its blanks taken out, occurs in the scanned text.
bool scanned_contains(const KeywordScan& scan, std::string_view keyword);

// Appends slot 301 + advice + slot 302 + example + slot 303 to slot 300, in one piece.
void append_rule_block(Workspace& w, std::string_view advice, std::string_view example);

// Append one rule block per firing rule of the web / C++ list, in list order, with the keyword
// answers the scan settled.
void run_web_rules(Workspace& w, const KeywordScan& scan);
void run_cpp_rules(Workspace& w, const KeywordScan& scan);
void append_closing_chapters(Workspace& w);

// Replaces "result.html" with slot 300 (LF stored as CR LF), never leaving it half written.
// False when it could not be written, or when the name is not this user's regular file.
bool write_report(const Workspace& w);

}  // namespace orven
