#include "app/rule_selection.h"

#include <algorithm>

#include "app/findings_output.h"

namespace orven::app {

namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The rules one item names, added to `set`; false when it names none.
bool add_item(std::string_view item, RuleSet& set) {
  const std::string name = lower(item);
  if (name == "web" || name == "cpp") {
    const Section section = name == "web" ? Section::web : Section::cpp;
    for (const RuleRef& rule : all_rules()) {
      if (rule.section == section) set.set(rule.number);
    }
    return true;
  }
  const std::size_t dash = item.find('-');
  const RuleRef* first = find_rule(item.substr(0, dash));
  const RuleRef* last = dash == std::string_view::npos ? first : find_rule(item.substr(dash + 1));
  if (!first || !last || first->section != last->section || first > last) return false;
  for (const RuleRef* rule = first; rule <= last; ++rule) set.set(rule->number);
  return true;
}

}  // namespace

bool add_rule_list(std::string_view list, RuleSet& set, std::string& bad) {
  bool named = false;
  for (std::string_view rest = list;;) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    if (!item.empty() && !add_item(item, set)) {
      bad = item;
      return false;
    }
    named |= !item.empty();
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  if (!named) bad = list;
  return named;
}

void keep_selected(Findings& findings, const RuleSet& selected) {
  std::erase_if(findings.findings,
                [&](const Finding& finding) { return !selected.test(*rule_number(finding.id)); });
}

}  // namespace orven::app
