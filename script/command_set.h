// The command set of expert mode as two constant tables, each walked in order by one short
// loop in evaluate_command: nine formulas that log a whole number and thirty verdicts that
// log 0 or 1. The names are the fixed texts of texts/commands.h; the tables own the rest.
#pragma once

#include <array>
#include <string_view>

#include "texts/commands.h"

namespace orven::script {

// a1, a2 and a4 are argument 1, 2 and 4; the factor is a double constant.
enum class Formula {
  a1_times_factor,          // vptya, vptga, pkss, pavbsm, pbtscp
  a1_times_a2_minus_a4,     // oerp: argument 4, not argument 3
  a1_over_a2_times_factor,  // get_ctr: the division first, then the percentage
  a1_over_a2,               // get_cnvr
  a1_times_a2,              // get_aimcost
};

struct MathCommand {
  std::string_view name;
  Formula formula;
  double factor;
  std::string_view separator;
};

// Verdict 1 when argument 1 lies in the range; otherwise 0.
enum class Range {
  at_least,         // a1 >= low
  at_most,          // a1 <= high
  below,            // a1 < high
  strictly_inside,  // low < a1 < high (every strlen and cntword command)
};

struct VerdictCommand {
  std::string_view name;
  Range range;
  double low;
  double high;
};

namespace names = texts::commands;

inline constexpr std::array<MathCommand, 9> kMathCommands{{
    {names::kVptya, Formula::a1_times_factor, 0.98, names::kVptyaSeparator},
    {names::kVptga, Formula::a1_times_factor, 0.97, names::kMathSeparator},
    {names::kOerp, Formula::a1_times_a2_minus_a4, 0.0, names::kMathSeparator},
    {names::kPkss, Formula::a1_times_factor, 0.12, names::kMathSeparator},
    {names::kPavbsm, Formula::a1_times_factor, 0.16, names::kMathSeparator},
    {names::kPbtscp, Formula::a1_times_factor, 0.12, names::kMathSeparator},
    {names::kGetCtr, Formula::a1_over_a2_times_factor, 100.0, names::kMathSeparator},
    {names::kGetCnvr, Formula::a1_over_a2, 0.0, names::kMathSeparator},
    {names::kGetAimcost, Formula::a1_times_a2, 0.0, names::kMathSeparator},
}};

inline constexpr std::array<VerdictCommand, 30> kVerdictCommands{{
    {names::kNeedcms, Range::at_least, 20, 0},
    {names::kAjax, Range::at_most, 0, 8},
    {names::kJqanimate, Range::below, 0, 6},
    {names::kJqappend, Range::at_least, 980, 0},
    {names::kDomcss, Range::at_least, 3, 0},
    {names::kDomtoggle, Range::at_least, 5, 0},
    {names::kSgmsricms, Range::at_least, 420, 0},
    {names::kDagcn, Range::at_least, 120, 0},
    {names::kStrlenTitle, Range::strictly_inside, 1, 31},
    {names::kStrlenH1, Range::strictly_inside, 1, 18},
    {names::kStrlenH2, Range::strictly_inside, 1, 20},
    {names::kStrlenH3, Range::strictly_inside, 1, 20},
    {names::kStrlenH4, Range::strictly_inside, 1, 20},
    {names::kStrlenKw, Range::strictly_inside, 1, 61},
    {names::kStrlenDes, Range::strictly_inside, 1, 171},
    {names::kStrlenStrong, Range::strictly_inside, 1, 80},
    {names::kStrlenEm, Range::strictly_inside, 1, 154},
    {names::kStrlenAlt, Range::strictly_inside, 1, 210},
    {names::kStrlenTitleAtr, Range::strictly_inside, 1, 232},
    {names::kCntwordTitle, Range::strictly_inside, 1, 221},
    {names::kCntwordH1, Range::strictly_inside, 1, 221},
    {names::kCntwordH2, Range::strictly_inside, 1, 223},
    {names::kCntwordH3, Range::strictly_inside, 1, 221},
    {names::kCntwordH4, Range::strictly_inside, 1, 123},
    {names::kCntwordKw, Range::strictly_inside, 1, 111},
    {names::kCntwordDes, Range::strictly_inside, 1, 322},
    {names::kCntwordStrong, Range::strictly_inside, 1, 312},
    {names::kCntwordEm, Range::strictly_inside, 1, 123},
    {names::kCntwordAlt, Range::strictly_inside, 1, 322},
    {names::kCntwordTitleAtr, Range::strictly_inside, 1, 312},
}};

constexpr bool in_range(const VerdictCommand& c, double a1) {
  switch (c.range) {
    case Range::at_least:
      return a1 >= c.low;
    case Range::at_most:
      return a1 <= c.high;
    case Range::below:
      return a1 < c.high;
    case Range::strictly_inside:
      return c.low < a1 && a1 < c.high;
  }
  return false;
}

}  // namespace orven::script
