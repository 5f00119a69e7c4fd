// The one numbered list of the rules.
#include "advisor/rule_index.h"

#include <cstdio>

#include "advisor/keyword_scan.h"
#include "texts/report.h"

namespace orven {

namespace {

const std::array<RuleRef, kRuleCount> kAllRules = [] {
  std::array<RuleRef, kRuleCount> all{};
  for (std::size_t i = 0; i < kRuleCount; ++i) {
    const bool web = i < kWebRuleCount;
    const std::size_t index = web ? i : i - kWebRuleCount;
    all[i] = {web ? Section::web : Section::cpp, index, i,
              web ? &texts::kWebRules[index] : &texts::kCppRules[index]};
  }
  return all;
}();

}  // namespace

std::span<const RuleRef> all_rules() {
  return kAllRules;
}

std::span<const std::string_view> section_gate(Section section) {
  return section == Section::web ? std::span<const std::string_view>(texts::kWebGate)
                                 : std::span<const std::string_view>(texts::kCppGate);
}

std::string rule_id(Section section, std::size_t index) {
  char id[8];
  std::snprintf(id, sizeof id, "%c%02zu", section == Section::web ? 'W' : 'C', index + 1);
  return id;
}

std::optional<std::size_t> rule_number(std::string_view id) {
  if (id.size() != 3 || (id[0] != 'W' && id[0] != 'C') || id[1] < '0' || id[1] > '9' ||
      id[2] < '0' || id[2] > '9') {
    return std::nullopt;
  }
  const std::size_t n = static_cast<std::size_t>((id[1] - '0') * 10 + (id[2] - '0'));
  const std::size_t count = id[0] == 'W' ? kWebRuleCount : kRuleCount - kWebRuleCount;
  if (n == 0 || n > count) return std::nullopt;
  return (id[0] == 'W' ? 0 : kWebRuleCount) + n - 1;
}

std::vector<std::vector<std::size_t>> rules_by_keyword(const KeywordSet& keywords) {
  std::vector<std::vector<std::size_t>> by_keyword(keywords.size());
  for (const RuleRef& ref : kAllRules) {
    for (const std::string_view keyword : ref.rule->keywords) {
      if (keyword.empty()) continue;
      const std::size_t k = keywords.index_of(keyword);
      if (k >= keywords.size()) continue;
      std::vector<std::size_t>& rules = by_keyword[k];
      if (rules.empty() || rules.back() != ref.number) rules.push_back(ref.number);
    }
  }
  return by_keyword;
}

}  // namespace orven
