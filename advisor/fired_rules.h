// The one walk over the two gates and the two rule lists, in report order: which sections
// open and which rules fire, each with the keyword that made it. The html report appends a
// block for each fired rule (advisor.cpp); the findings place the same rules (findings.cpp).
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "advisor/rule_index.h"
#include "advisor/scan.h"

namespace orven {

struct FiredRule {
  RuleRef ref;
  // The first of the rule's keywords (its place in the rule's list) that occurs; none for a
  // rule without keywords, which fires whenever its section opens.
  std::optional<std::size_t> keyword;
};

struct FiredRules {
  // The first keyword of each gate (its place in the gate) that occurs; none: the section
  // stays shut.
  std::optional<std::size_t> web_gate;
  std::optional<std::size_t> cpp_gate;
  std::vector<FiredRule> rules;  // in report order
};

// A rule fires when one of its keywords occurs (tested in order), or when it has none; each
// rule on its own, however often its keywords occur.
FiredRules fired_rules(const ScanResult& scan, const KeywordSet& keywords);

}  // namespace orven
