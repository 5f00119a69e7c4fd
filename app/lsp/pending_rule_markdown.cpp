// STAND-IN for rule_markdown (see pending_rule_markdown.h), over the rule texts as the
// findings formats read them. Deleted when the command line's own lands.
#include "app/lsp/pending_rule_markdown.h"

#include "app/findings_output.h"

namespace orven::app {

std::string rule_markdown(const RuleRef& ref) {
  const texts::Rule& rule = *ref.rule;
  std::string out;
  for (const std::string& line : markup_lines(rule.advice)) {
    if (line.find_first_not_of(' ') != std::string::npos) out += line + "\n";
  }
  out += "\n```\n";
  for (const std::string& line : markup_lines(rule.example)) out += line + "\n";
  out += "```\n";
  return out;
}

}  // namespace orven::app
