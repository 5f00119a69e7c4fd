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

// The keyword with its places.
KeywordHit hit_of(std::string_view keyword, const ScanResult& scan, const KeywordSet& keywords) {
  KeywordHit hit{keyword, {}, {}, 0};
  const std::size_t k = keywords.index_of(keyword);
  if (scan.places && k < scan.places->keywords.size()) {
    const KeywordPlaces& found = scan.places->keywords[k];
    hit.first = source_place(*scan.places, found.first);
    hit.last = source_place(*scan.places, found.last);
    hit.count = found.count;
  }
  return hit;
}

std::optional<KeywordHit> gate_hit(std::span<const std::string_view> gate,
                                   std::optional<std::size_t> opened, const ScanResult& scan,
                                   const KeywordSet& keywords) {
  if (!opened) return std::nullopt;
  return hit_of(gate[*opened], scan, keywords);
}

}  // namespace

Findings find_advice(Workspace& w, std::span<const std::filesystem::path> inputs,
                     ScanSettings settings, const WalkOptions& walk) {
  Findings out;
  try {
    settings.places = true;
    const KeywordSet& keywords = advisor_keywords();
    ScanResult scan = scan_sources(inputs, keywords, settings, walk);
    out.outcome = std::move(scan.outcome);
    if (out.outcome.status != ModeOutcome::Status::ok) return out;
    keep_scanned_text(w, scan);
    const FiredRules fired = fired_rules(scan, keywords);
    out.web_gate = gate_hit(texts::kWebGate, fired.web_gate, scan, keywords);
    out.cpp_gate = gate_hit(texts::kCppGate, fired.cpp_gate, scan, keywords);
    for (const FiredRule& rule : fired.rules) {
      Finding finding{rule_id(rule.ref.section, rule.ref.index), rule.ref.section, rule.ref.rule,
                      std::nullopt};
      if (rule.keyword)
        finding.hit = hit_of(rule.ref.rule->keywords[*rule.keyword], scan, keywords);
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
