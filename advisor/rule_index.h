// The rules of both sections as one numbered list, in report order: the web rules (W01 to
// W28) and then the C++ rules (C01 to C40), each with its id, and for every keyword of the
// set the rules it fires. The html report, the findings and the document scan all walk this
// one list; texts/web_rules.h and texts/cpp_rules.h own the rules themselves.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "texts/cpp_rules.h"
#include "texts/rule.h"
#include "texts/web_rules.h"

namespace orven {

enum class Section { web, cpp };

inline constexpr std::size_t kWebRuleCount = texts::kWebRules.size();
inline constexpr std::size_t kRuleCount = kWebRuleCount + texts::kCppRules.size();

// A set of rules by number (see RuleRef::number).
using RuleSet = std::bitset<kRuleCount>;

struct RuleRef {
  Section section = Section::web;
  std::size_t index = 0;   // in its section's list, from 0
  std::size_t number = 0;  // in the one list: web rules first, from 0
  const texts::Rule* rule = nullptr;
};

// Every rule, web rules first, each in list order.
std::span<const RuleRef> all_rules();

// The keywords of a section's gate, which open it in the report.
std::span<const std::string_view> section_gate(Section section);

// The id of the index-th rule (from 0) of a section's list: "W01" … "W28", "C01" … "C40".
std::string rule_id(Section section, std::size_t index);
// The number of the rule with this id, or none.
std::optional<std::size_t> rule_number(std::string_view id);

class KeywordSet;

// By keyword of `keywords` (its index there): the numbers of the rules that name it, in order.
std::vector<std::vector<std::size_t>> rules_by_keyword(const KeywordSet& keywords);

}  // namespace orven
