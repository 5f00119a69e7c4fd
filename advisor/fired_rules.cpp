// The walk over the gates and the rules.
#include "advisor/fired_rules.h"

#include <span>
#include <string_view>

#include "texts/report.h"

namespace orven {

namespace {

// The place of the first keyword of the list that occurs.
std::optional<std::size_t> first_found(std::span<const std::string_view> list,
                                       const ScanResult& scan, const KeywordSet& keywords) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!list[i].empty() && scanned_contains(scan, keywords, list[i])) return i;
  }
  return std::nullopt;
}

bool has_keywords(const texts::Rule& rule) {
  for (const std::string_view keyword : rule.keywords) {
    if (!keyword.empty()) return true;
  }
  return false;
}

}  // namespace

FiredRules fired_rules(const ScanResult& scan, const KeywordSet& keywords) {
  FiredRules fired;
  fired.web_gate = first_found(texts::kWebGate, scan, keywords);
  fired.cpp_gate = first_found(texts::kCppGate, scan, keywords);
  for (const RuleRef& ref : all_rules()) {
    if (!(ref.section == Section::web ? fired.web_gate : fired.cpp_gate)) continue;
    FiredRule rule{ref, std::nullopt};
    if (has_keywords(*ref.rule)) {
      rule.keyword = first_found(ref.rule->keywords, scan, keywords);
      if (!rule.keyword) continue;  // the rule does not fire
    }
    fired.rules.push_back(rule);
  }
  return fired;
}

}  // namespace orven
