#include <cmath>
#include <limits>
#include <string>

#include "base/crlf.h"
#include "script/command_set.h"
#include "script/numbers.h"
#include "script/script.h"

// The formulas are worked in the x87 80-bit format and rounded once to double before ceil;
// double arithmetic gives other whole numbers ('get_ctr 7 100' would log 8 instead of 7).
static_assert(std::numeric_limits<long double>::digits == 64,
              "expert mode needs long double with a 64-bit significand (x87 extended "
              "precision, as on x86 and x86-64 with GCC, MinGW or clang); on this platform "
              "the math commands would log other numbers");

namespace orven {
namespace {

double math_value(const script::MathCommand& c, const std::array<double, kArgumentCount>& a) {
  const long double a1 = a[0];
  const long double a2 = a[1];
  const long double a4 = a[3];
  const long double factor = c.factor;
  long double value = 0;
  switch (c.formula) {
    case script::Formula::a1_times_factor:
      value = a1 * factor;
      break;
    case script::Formula::a1_times_a2_minus_a4:
      value = a1 * a2 - a4;
      break;
    case script::Formula::a1_over_a2_times_factor:
      value = a1 / a2 * factor;
      break;
    case script::Formula::a1_over_a2:
      value = a1 / a2;
      break;
    case script::Formula::a1_times_a2:
      value = a1 * a2;
      break;
  }
  return std::ceil(static_cast<double>(value));
}

void append_log_line(std::string& log, std::string_view word, std::string_view separator,
                     double number) {
  char value[script::kNumberTextMax];
  const std::size_t value_size = script::format_number(number, value);
  log.reserve(log.size() + word.size() + separator.size() + value_size + 2);
  append_with_crlf(log, word);
  append_with_crlf(log, separator);
  log.append(value, value_size);
  append_with_crlf(log, "\n");
}

}  // namespace

void evaluate_command(Workspace& w, std::string& log) {
  const std::string& word = command_word(w);
  for (const script::MathCommand& c : script::kMathCommands) {
    if (word == c.name) append_log_line(log, word, c.separator, math_value(c, w.args));
  }
  w.verdict = 0.0;
  for (const script::VerdictCommand& c : script::kVerdictCommands) {
    if (word == c.name && script::in_range(c, w.args[0])) w.verdict = 1.0;
  }
  if (word.find(texts::commands::kVerdictGate) != std::string::npos) {
    append_log_line(log, word, texts::commands::kVerdictSeparator, w.verdict);
  }
}

}  // namespace orven
