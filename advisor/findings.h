// The findings of a training run: the rule blocks its report would hold, each with the rule's
// id and, for a rule with keywords, the keyword that made it fire, where that keyword first
// occurs and how often it occurs in all the input; and the two gates with the keyword that
// opened each. The machine-readable outputs (app/findings_output.h) are written from this.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/advisor.h"
#include "advisor/rule_index.h"
#include "texts/rule.h"

namespace orven {

// A byte of the input: its file as the walk gave it, its line and its column, both from 1.
// Columns count characters: UTF-16 code units where the file is valid UTF-8, bytes otherwise.
struct SourcePlace {
  std::filesystem::path file;
  std::uint64_t line = 0;
  std::uint64_t column = 0;
  // The column as the GNU Coding Standards count it, for the gnu lines: tab stops every 8,
  // every other character its display width (wcwidth: 2 for wide, 0 for combining); from 1.
  std::uint64_t display_column = 0;
};

struct KeywordHit {
  std::string_view keyword;  // as the rule writes it (windows-1251), blanks included
  SourcePlace first;         // the first byte of its first occurrence
  SourcePlace last;          // and the last, which may lie in a later file
  std::uint64_t count = 0;   // its occurrences in all the input, overlapping ones included
};

struct Finding {
  std::string id;  // "W01" … "W28", "C01" … "C40": the rule's place in its list
  Section section = Section::web;
  const texts::Rule* rule = nullptr;
  std::optional<KeywordHit> hit;  // none for a rule without keywords
  // Every occurrence that would make it fire lies where an orven-disable-* marker turns this
  // rule off (a keywordless rule: its gate's line, or a -file marker); hit then names the
  // first of them. Without markers honoured (ScanSettings::suppressions) never set.
  bool suppressed = false;
};

struct Findings {
  ModeOutcome outcome;                 // of the scan: a failure leaves no findings
  std::optional<KeywordHit> web_gate;  // the keyword that opened the web section, if any
  std::optional<KeywordHit> cpp_gate;
  std::vector<Finding> findings;  // in report order
};

// Scans the inputs as run_advisor does, counting and placing every keyword in the same one
// pass, and tells the findings without writing any report.
Findings find_advice(Workspace& w, std::span<const std::filesystem::path> inputs,
                     ScanSettings settings = {}, const WalkOptions& walk = {});

}  // namespace orven
