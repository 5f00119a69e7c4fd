// The training run as a whole, and the walk over the two rule lists.
#include "advisor/advisor.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>
#include <string_view>

#include "advisor/keyword_scan.h"
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

// A rule fires when one of its keywords occurs (tested in order), or when it has none.
bool fires(const texts::Rule& rule, const KeywordScan& scan) {
  bool has_keyword = false;
  for (const std::string_view keyword : rule.keywords) {
    if (keyword.empty()) continue;
    if (scanned_contains(scan, keyword)) return true;
    has_keyword = true;
  }
  return !has_keyword;
}

bool has_keyword(const texts::Rule& rule) {
  return std::any_of(rule.keywords.begin(), rule.keywords.end(),
                     [](std::string_view keyword) { return !keyword.empty(); });
}

// Returns how many of the blocks came from a keyword.
std::uint64_t run_rules(Workspace& w, std::span<const texts::Rule> rules, const KeywordScan& scan) {
  std::uint64_t keyword_advice = 0;
  for (const texts::Rule& rule : rules) {
    if (!fires(rule, scan)) continue;
    append_rule_block(w, rule.advice, rule.example);
    keyword_advice += has_keyword(rule) ? 1 : 0;
  }
  return keyword_advice;
}

bool gate_holds(std::span<const std::string_view> gate, const KeywordScan& scan) {
  for (const std::string_view keyword : gate) {
    if (scanned_contains(scan, keyword)) return true;
  }
  return false;
}

}  // namespace

void run_web_rules(Workspace& w, const KeywordScan& scan) {
  run_rules(w, texts::kWebRules, scan);
}

void run_cpp_rules(Workspace& w, const KeywordScan& scan) {
  run_rules(w, texts::kCppRules, scan);
}

// The keywords are made ready once per process: that costs more than scanning a page.
const KeywordSet& advisor_keywords() {
  static const KeywordSet all_keywords(kAllKeywords);
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
    KeywordScan scan(advisor_keywords());
    ModeOutcome outcome = scan_sources(w, inputs, settings, scan, walk);
    if (outcome.status != Status::ok) return outcome;
    begin_report(w);
    if (gate_holds(texts::kWebGate, scan)) {
      report(w) += texts::kWebHeading;
      outcome.keyword_advice += run_rules(w, texts::kWebRules, scan);
    }
    if (gate_holds(texts::kCppGate, scan)) {
      report(w) += texts::kCppHeading;
      outcome.keyword_advice += run_rules(w, texts::kCppRules, scan);
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
