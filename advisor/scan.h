// The scan of a training run's sources: every input in order, as one text of all their
// bytes one after another, streamed through the keyword automaton (advisor/keyword_scan.h)
// on as many threads as the process may use. scan_sources.cpp wires its parts (the reader,
// advisor/scan_reader.h; the per-segment summary, advisor/segment_summary.h; the ordered fold,
// advisor/scan_fold.h); each part's invariants are written at the top of its header, the
// wiring's at the top of scan_sources.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/input_walk.h"
#include "advisor/places.h"
#include "advisor/rule_index.h"
#include "base/mode_outcome.h"
#include "workspace/workspace.h"

namespace orven {

// How keyword occurrences count. text: anywhere in the words of the input, blanks removed
// (what the report always uses). code: only where the keyword is code of a language its
// rule speaks about (not in a comment, a literal or markup text, nor inside a longer word).
enum class MatchMode { text, code };

// How the scan uses the machine and what the findings count. The report is the same
// whatever the first three are.
struct ScanSettings {
  unsigned threads = 0;               // 0: one per CPU this process may run on
  std::size_t chunk_bytes = 0;        // bytes read at a time; 0: 8 MiB shared by the threads
  bool places = false;                // count every keyword and place its first occurrence (all of
                                      // the input is then scanned: no early stop)
  MatchMode match = MatchMode::text;  // the machine formats' --match (code implies places); html
                                      // is always text
  bool suppressions = false;          // honour the orven-disable-line, -next-line and -file markers
  // An input spelled exactly "-" is standard input, read once as one file named
  // stdin_name in places and messages (its ending gives its language); "-" when empty.
  bool dash_is_stdin = false;
  std::filesystem::path stdin_name{};
};

class KeywordSet;

// Every keyword a training run tests (both gates and both rule lists), made ready once.
const KeywordSet& advisor_keywords();
// The same and the start of the suppression markers (advisor/suppression.h), for a scan
// that honours them: its count in a chunk says whether to look for markers there.
const KeywordSet& advisor_keywords_and_markers();

// What a scan found: for every keyword of the set whether it occurs, with places where they
// were asked for, and the end of the scanned text and its last word for slots 200 and 0.
// Matched in code, a keyword has two answers: where the web rules count it (in files of their
// languages and of none) and where the C++ rules do; found_slot says where each stands.
struct ScanResult {
  ModeOutcome outcome;  // a failure leaves the rest empty
  MatchMode match = MatchMode::text;
  std::vector<bool> found;           // by keyword of the set (in code: by found_slot)
  std::optional<ScanPlaces> places;  // with ScanSettings::places, its keywords as found
  // In code: the first file of the section's languages read (web, then C++), if any.
  std::array<std::optional<std::filesystem::path>, 2> language_files;
  std::string end_of_text;  // as long as the longest keyword less one byte
  std::string last_word;    // its last kWordKept bytes
};

// Where the answers about the k-th keyword of the set for the rules of a section stand in
// ScanResult::found and ScanPlaces::keywords.
std::size_t found_slot(const ScanResult& scan, const KeywordSet& keywords, Section section,
                       std::size_t k);

// Scans the inputs in order, as one text of all their bytes one after another, each file's
// bytes only up to its first zero byte, with whitespace taken out, for the keywords of the
// set. Inputs are given files, whose failure fails the run (input_unreadable, naming the
// first in order that failed), and folders, walked as advisor/input_walk.h says, whose files
// are skipped when they cannot be read; folders that give no source at all, with no file
// given, are no_sources. Keeps of the scanned text its end, as long as the longest keyword
// less one byte, and its last word (the last kWordKept bytes): never more, however large the
// inputs. Once every keyword is found in the files read whole so far, nothing more is
// scanned and both stay as they were then; later files are only opened and their first byte
// read, so that one that cannot be read is still reported.
// Matched in code, each file is lexed as its name's language says (advisor/languages.h) and an
// occurrence counts where advisor/code_match.h says, never across a file's end; a file of no
// language is matched as text, within itself.
ScanResult scan_sources(std::span<const std::filesystem::path> inputs, const KeywordSet& keywords,
                        const ScanSettings& settings, const WalkOptions& walk = {});

// Puts the end of the scanned text into slot 200 and its last word into slot 0.
void keep_scanned_text(Workspace& w, const ScanResult& result);

// The keyword test: true when the keyword, its blanks taken out, occurs in the scanned text
// (a keyword of the set the scan was made with).
bool scanned_contains(const ScanResult& scan, const KeywordSet& keywords, std::string_view keyword);

// The same for the rules of a section: in code, where that section's rules count it.
bool occurs_for(const ScanResult& scan, const KeywordSet& keywords, Section section,
                std::string_view keyword);

}  // namespace orven
