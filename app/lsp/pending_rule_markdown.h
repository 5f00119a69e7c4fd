// STAND-IN, to be deleted when rule_markdown lands in app/findings_output.h: a rule's advice
// and its example as a Markdown code block, UTF-8.
#pragma once

#include <string>

#include "advisor/rule_index.h"

namespace orven::app {

std::string rule_markdown(const RuleRef& rule);

}  // namespace orven::app
