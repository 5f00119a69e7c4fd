// The training run as a whole, and the walk over the two rule lists.
#include "advisor/advisor.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>
#include <string_view>
#include <vector>

#include "advisor/fired_rules.h"
#include "advisor/keyword_scan.h"
#include "advisor/suppression.h"
#include "texts/cpp_rules.h"
#include "texts/product.h"
#include "texts/report.h"
#include "texts/rule.h"
#include "texts/web_rules.h"

namespace orven {

namespace {

template <std::size_t N>
constexpr std::array<std::string_view, 3 * N> keywords_of(const std::array<texts::Rule, N>& rules) {
  std::array<std::string_view, 3 * N> all{};
  for (std::size_t i = 0; i < 3 * N; ++i) all[i] = rules[i / 3].keywords[i % 3];
  return all;
}

// Every keyword the run tests: both gates and both lists (unused places stay empty).
constexpr auto kAllKeywords = [] {
  constexpr auto web = keywords_of(texts::kWebRules);
  constexpr auto cpp = keywords_of(texts::kCppRules);
  std::array<std::string_view, 4 + web.size() + cpp.size()> all{};
  auto out = std::copy(texts::kWebGate.begin(), texts::kWebGate.end(), all.begin());
  out = std::copy(texts::kCppGate.begin(), texts::kCppGate.end(), out);
  out = std::copy(web.begin(), web.end(), out);
  std::copy(cpp.begin(), cpp.end(), out);
  return all;
}();

}  // namespace

void append_rule_blocks(Workspace& w, const FiredRules& fired, Section section) {
  for (const FiredRule& rule : fired.rules) {
    if (rule.ref.section == section)
      append_rule_block(w, rule.ref.rule->advice, rule.ref.rule->example);
  }
}

// The keywords are made ready once per process: that costs more than scanning a page.
const KeywordSet& advisor_keywords() {
  static const KeywordSet all_keywords(kAllKeywords);
  return all_keywords;
}

const KeywordSet& advisor_keywords_and_markers() {
  static const KeywordSet all_keywords = [] {
    std::vector<std::string_view> keywords(kAllKeywords.begin(), kAllKeywords.end());
    keywords.push_back(kMarkerStart);
    return KeywordSet(keywords);
  }();
  return all_keywords;
}

ModeOutcome run_advisor(Workspace& w, std::span<const std::filesystem::path> inputs) {
  return run_advisor(w, inputs, ScanSettings{});
}

ModeOutcome run_advisor(Workspace& w, std::span<const std::filesystem::path> inputs,
                        const ScanSettings& settings, const WalkOptions& walk) {
  return run_advisor(w, inputs, settings, walk, std::filesystem::path(texts::kReportFile));
}

ModeOutcome run_advisor(Workspace& w, std::span<const std::filesystem::path> inputs,
                        const ScanSettings& settings, const WalkOptions& walk,
                        const std::filesystem::path& report_file) {
  using Status = ModeOutcome::Status;
  try {
    const KeywordSet& keywords = advisor_keywords();
    ScanSettings text_only = settings;
    text_only.match = MatchMode::text;  // the report is always made of the text's keywords
    text_only.places = false;
    text_only.suppressions = false;
    ScanResult scan = scan_sources(inputs, keywords, text_only, walk);
    ModeOutcome outcome = std::move(scan.outcome);
    if (outcome.status != Status::ok) return outcome;
    keep_scanned_text(w, scan);
    const FiredRules fired = fired_rules(scan, keywords);
    for (const FiredRule& rule : fired.rules) outcome.keyword_advice += rule.keyword ? 1 : 0;
    begin_report(w);
    if (fired.web_gate) {
      report(w) += texts::kWebHeading;
      append_rule_blocks(w, fired, Section::web);
    }
    if (fired.cpp_gate) {
      report(w) += texts::kCppHeading;
      append_rule_blocks(w, fired, Section::cpp);
    }
    append_closing_chapters(w);
    if (!write_report(w, report_file)) {
      outcome.status = Status::output_unwritable;
      outcome.file = report_file;
    }
    return outcome;
  } catch (const std::bad_alloc&) {
    return {Status::out_of_memory, inputs.empty() ? std::filesystem::path() : inputs.front()};
  }
}

}  // namespace orven
