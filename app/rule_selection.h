// Which rules a run of the machine formats keeps: --select and --disable name them by id
// ("W03"), range ("C01-C10", within one section) or section ("web", "cpp"), in lists
// separated by commas, over advisor/rule_index.h's one numbered list of the rules.
#pragma once

#include <string>
#include <string_view>

#include "advisor/findings.h"
#include "app/findings_output.h"

namespace orven::app {

// Adds the rules that `list` names to `set`; false when an item names none, with that item
// in `bad` (UTF-8 as given), or when the list holds no item at all. Empty items are passed
// over.
bool add_rule_list(std::string_view list, RuleSet& set, std::string& bad);

// Keeps the findings of the rules in `selected`, in their order.
void keep_selected(Findings& findings, const RuleSet& selected);

}  // namespace orven::app
