// The findings: the walk over the gates and the two rule lists, as the report makes it, with
// each firing keyword looked up among the places the scan tracked.
#include "advisor/findings.h"

#include <cstdio>
#include <new>

#include "advisor/keyword_scan.h"
#include "texts/cpp_rules.h"
#include "texts/report.h"
#include "texts/web_rules.h"

namespace orven {

namespace {

SourcePlace source_place(const ScanPlaces& places, const TextPlace& p) {
  return {places.files.at(p.file), p.line + 1, p.bytes + 1};
}

// The first of the keywords (in the order given) that the scanned text holds, with its
// places; none when it holds none of them.
std::optional<KeywordHit> first_hit(std::span<const std::string_view> keywords,
                                    const KeywordScan& scan) {
  for (const std::string_view keyword : keywords) {
    if (keyword.empty() || !scanned_contains(scan, keyword)) continue;
    KeywordHit hit{keyword, {}, {}, 0};
    const std::size_t k = scan.keywords().index_of(keyword);
    if (scan.places() && k < scan.places()->keywords.size()) {
      const KeywordPlaces& found = scan.places()->keywords[k];
      hit.first = source_place(*scan.places(), found.first);
      hit.last = source_place(*scan.places(), found.last);
      hit.count = found.count;
    }
    return hit;
  }
  return std::nullopt;
}

bool has_keywords(const texts::Rule& rule) {
  for (const std::string_view keyword : rule.keywords) {
    if (!keyword.empty()) return true;
  }
  return false;
}

void add_section(Findings& out, Section section, std::span<const texts::Rule> rules,
                 const KeywordScan& scan) {
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const texts::Rule& rule = rules[i];
    Finding finding{rule_id(section, i), section, &rule, std::nullopt};
    if (has_keywords(rule)) {
      finding.hit = first_hit(rule.keywords, scan);
      if (!finding.hit) continue;  // the rule does not fire
    }
    out.findings.push_back(std::move(finding));
  }
}

}  // namespace

Findings find_advice(Workspace& w, std::span<const std::filesystem::path> inputs,
                     ScanSettings settings, const WalkOptions& walk) {
  Findings out;
  try {
    settings.places = true;
    KeywordScan scan(advisor_keywords());
    out.outcome = scan_sources(w, inputs, settings, scan, walk);
    if (out.outcome.status != ModeOutcome::Status::ok) return out;
    out.web_gate = first_hit(texts::kWebGate, scan);
    out.cpp_gate = first_hit(texts::kCppGate, scan);
    if (out.web_gate) add_section(out, Section::web, texts::kWebRules, scan);
    if (out.cpp_gate) add_section(out, Section::cpp, texts::kCppRules, scan);
  } catch (const std::bad_alloc&) {
    std::vector<SkippedInput> skipped = std::move(out.outcome.skipped);
    out = {};
    out.outcome = {ModeOutcome::Status::out_of_memory,
                   inputs.empty() ? std::filesystem::path() : inputs.front()};
    out.outcome.skipped = std::move(skipped);
  }
  return out;
}

}  // namespace orven
