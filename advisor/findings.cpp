// The findings: the walk over the gates and the two rule lists, as the report makes it, with
// each firing keyword looked up among the places the scan tracked.
#include "advisor/findings.h"

#include <new>

#include "advisor/fired_rules.h"
#include "advisor/keyword_scan.h"
#include "texts/cpp_rules.h"
#include "texts/report.h"
#include "texts/web_rules.h"

namespace orven {

namespace {

SourcePlace source_place(const ScanPlaces& places, const TextPlace& p) {
  return {places.files.at(p.file), p.line + 1, p.bytes + 1, p.display + 1};
}

KeywordHit hit_at(std::string_view keyword, const ScanPlaces& places, const KeywordPlaces& found) {
  return {keyword, source_place(places, found.first), source_place(places, found.last),
          found.count};
}

// The keyword with its places, where the section's rules count it.
KeywordHit hit_of(std::string_view keyword, const ScanResult& scan, const KeywordSet& keywords,
                  Section section) {
  std::size_t k = keywords.index_of(keyword);
  if (k < keywords.size()) k = found_slot(scan, keywords, section, k);
  if (!scan.places || k >= scan.places->keywords.size()) return {keyword, {}, {}, 0};
  return hit_at(keyword, *scan.places, scan.places->keywords[k]);
}

// A keyword's occurrences that count for a rule: all of them, or where markers turned some
// off, the ones left.
const KeywordPlaces* left_for(const RuleRef& rule, std::string_view keyword, const ScanResult& scan,
                              const KeywordSet& keywords) {
  const std::size_t k = keywords.index_of(keyword);
  if (!scan.places || k >= keywords.size()) return nullptr;
  // Matched in code, where the rule's section counts it; the markers' pairs are by keyword.
  const std::size_t slot = found_slot(scan, keywords, rule.section, k);
  if (slot >= scan.places->keywords.size()) return nullptr;
  const auto left = scan.places->left.find({rule.number, k});
  return left != scan.places->left.end() ? &left->second : &scan.places->keywords[slot];
}

// With markers honoured: a rule with keywords fires through the first of them (in its
// list's order) with an occurrence left, placed at the first of those and counting them; when
// none is left, it stays suppressed with the hit its keywords give without markers. A rule
// without keywords is suppressed where every occurrence of its section's gate keywords is
// turned off for it (there is one at least, since the gate opened the section).
void mark_suppressed(Finding& finding, const FiredRule& rule, const ScanResult& scan,
                     const KeywordSet& keywords) {
  if (!scan.places) return;
  if (rule.keyword) {
    for (const std::string_view keyword : rule.ref.rule->keywords) {
      if (keyword.empty()) continue;
      const KeywordPlaces* left = left_for(rule.ref, keyword, scan, keywords);
      if (left != nullptr && left->count != 0) {
        finding.hit = hit_at(keyword, *scan.places, *left);
        return;
      }
    }
    finding.suppressed = true;
    return;
  }
  bool any = false;
  for (const std::string_view keyword : section_gate(rule.ref.section)) {
    std::size_t k = keywords.index_of(keyword);
    if (k < keywords.size()) k = found_slot(scan, keywords, rule.ref.section, k);
    if (k >= scan.places->keywords.size() || scan.places->keywords[k].count == 0) continue;
    any = true;
    if (left_for(rule.ref, keyword, scan, keywords)->count != 0) return;
  }
  finding.suppressed = any;
}

std::optional<KeywordHit> gate_hit(std::span<const std::string_view> gate,
                                   std::optional<std::size_t> opened, const ScanResult& scan,
                                   const KeywordSet& keywords, Section section) {
  if (!opened) return std::nullopt;
  return hit_of(gate[*opened], scan, keywords, section);
}

}  // namespace

Findings find_advice(Workspace& w, std::span<const std::filesystem::path> inputs,
                     ScanSettings settings, const WalkOptions& walk) {
  Findings out;
  try {
    settings.places = true;
    const KeywordSet& keywords =
        settings.suppressions ? advisor_keywords_and_markers() : advisor_keywords();
    ScanResult scan = scan_sources(inputs, keywords, settings, walk);
    out.outcome = std::move(scan.outcome);
    if (out.outcome.status != ModeOutcome::Status::ok) return out;
    keep_scanned_text(w, scan);
    const FiredRules fired = fired_rules(scan, keywords);
    out.web_gate = gate_hit(texts::kWebGate, fired.web_gate, scan, keywords, Section::web);
    out.cpp_gate = gate_hit(texts::kCppGate, fired.cpp_gate, scan, keywords, Section::cpp);
    if (!out.web_gate) out.web_file = scan.language_files[0];
    if (!out.cpp_gate) out.cpp_file = scan.language_files[1];
    for (const FiredRule& rule : fired.rules) {
      Finding finding{rule_id(rule.ref.section, rule.ref.index), rule.ref.section, rule.ref.rule,
                      std::nullopt};
      if (rule.keyword)
        finding.hit =
            hit_of(rule.ref.rule->keywords[*rule.keyword], scan, keywords, rule.ref.section);
      if (settings.suppressions) mark_suppressed(finding, rule, scan, keywords);
      out.findings.push_back(std::move(finding));
    }
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
