// The findings of a training run in the formats that tools read: SARIF 2.1.0 for code
// scanning in CI, our own JSON (described by app/findings.schema.json) for scripts, and the
// GNU error format (FILE:LINE:COLUMN: note: ADVICE [ID]) for editors. All of them UTF-8.
// Also what the three say about each rule (its friendly name, summary and Markdown help),
// which --list-rules, --explain and an editor's hover show as well.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/findings.h"
#include "advisor/rule_index.h"
#include "texts/rule.h"

namespace orven::app {

enum class FindingsFormat { sarif, json, gnu };

// The rule with this id ("W03", "c10": its letter of either case), or null. The rules are
// advisor/rule_index.h's one numbered list.
const RuleRef* find_rule(std::string_view id);

// A rule's friendly name in Pascal case (its section, its first keyword's words, its number:
// WebMysqlQuery03), as SARIF wants it.
std::string rule_name(const RuleRef& rule);
// The advice's first sentence, UTF-8: SARIF's short description and --list-rules' summary.
std::string rule_summary(const texts::Rule& rule);
// The advice and its example as Markdown: the advice a paragraph (its line breaks kept), the
// example a fenced code block (marked cpp in the C++ section). SARIF's help and the hover
// of an editor both show it.
std::string rule_markdown(const RuleRef& rule);

// --list-rules: a line for each rule in `selected` (id, section, keywords, summary, apart by
// tabs), or the same as JSON ({"format": "orven-rules", ...}, app/rules.schema.json).
std::string rule_list_text(const RuleSet& selected, bool json);
// --explain: the rule's id, section and keywords, its advice and its example, plain UTF-8
// for a terminal.
std::string rule_explanation(const RuleRef& rule);

// A finding of --baseline that this run no longer gives (SARIF's "absent").
struct AbsentFinding {
  const RuleRef* rule = nullptr;
  std::filesystem::path file;  // empty for a rule without keywords
  std::uint64_t line = 0;      // 0 when the baseline did not say
  std::uint64_t column = 0;
};

// What the run around the findings adds: its arguments, exit code and the folder that
// relative names start from; how the gnu lines look; how the findings stand against a
// baseline.
struct FindingsRunInfo {
  std::vector<std::string> arguments;  // UTF-8, the program's name first
  int exit_code = 0;
  std::filesystem::path current_folder;
  bool color = false;  // gnu: GCC's colours (SGR sequences)
  // With --baseline: for each finding (in order) whether the baseline knew it, and what the
  // baseline held that this run no longer finds. Known findings leave gnu and JSON (JSON says
  // how many); SARIF keeps them, "unchanged".
  bool baseline = false;
  std::vector<bool> known{};
  std::vector<AbsentFinding> absent{};
};

// The version of our JSON format; a change that breaks readers raises it.
inline constexpr int kFindingsJsonVersion = 1;

// A fixed text with its markup (line breaks, character entities) turned into lines, UTF-8.
std::vector<std::string> markup_lines(std::string_view cp1251);

std::string findings_text(FindingsFormat format, const Findings& findings,
                          const FindingsRunInfo& run);

// A file name as the outputs write it when it cannot stand plainly: a backslash as \\, and
// as \xHH each byte of a control character (C0, DEL, C1), each byte that is not part of
// UTF-8, the colon and the double quote; everything else as it is. It reads back to exactly
// the name's bytes.
std::string escaped_name(std::string_view bytes);
// Whether a gnu line may name the file plainly: Vim's and Emacs' readers of FILE:LINE:COLUMN
// then take exactly this name (no escape, colon but a drive's "X:/", "$", leading "~" or
// blank, trailing blank, nor a name of digits only).
bool plain_name(std::string_view bytes);

}  // namespace orven::app
