// A plain reference of one expert-mode line, written the straightforward way: a string
// stream with the argument filler, `>>` for the word and the numbers, printf for the value.
// The test oracle of the number and command tests and the fuzz targets; the benchmark
// generator uses it for the expected log, the iostreams runner for timing.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

namespace orven::bench {

struct ReferenceCommand {
  const char* name;
  int kind;  // 0..4 formulas, 10 at least, 11 at most, 12 below, 13 strictly inside
  double a;
  double b;
};

inline constexpr ReferenceCommand kReferenceCommands[] = {
    {"#root::math::vptya", 0, 0.98, 0},
    {"#root::math::vptga", 0, 0.97, 0},
    {"#root::math::oerp", 1, 0, 0},
    {"#root::math::pkss", 0, 0.12, 0},
    {"#root::math::pavbsm", 0, 0.16, 0},
    {"#root::math::pbtscp", 0, 0.12, 0},
    {"#root::math::get_ctr", 2, 100, 0},
    {"#root::math::get_cnvr", 3, 0, 0},
    {"#root::math::get_aimcost", 4, 0, 0},
    {"#root::hv::get_needcms", 10, 20, 0},
    {"#root::hv::get_ajax", 11, 0, 8},
    {"#root::hv::get_jqanimate", 12, 0, 6},
    {"#root::hv::get_jqappend", 10, 980, 0},
    {"#root::hv::get_domcss", 10, 3, 0},
    {"#root::hv::get_domtoggle", 10, 5, 0},
    {"#root::hv::get_sgmsricms", 10, 420, 0},
    {"#root::hv::get_dagcn", 10, 120, 0},
    {"#root::hv::get_strlenTITLE", 13, 1, 31},
    {"#root::hv::get_strlenH1", 13, 1, 18},
    {"#root::hv::get_strlenH2", 13, 1, 20},
    {"#root::hv::get_strlenH3", 13, 1, 20},
    {"#root::hv::get_strlenH4", 13, 1, 20},
    {"#root::hv::get_strlenKW", 13, 1, 61},
    {"#root::hv::get_strlenDES", 13, 1, 171},
    {"#root::hv::get_strlenSTRONG", 13, 1, 80},
    {"#root::hv::get_strlenEM", 13, 1, 154},
    {"#root::hv::get_strlenALT", 13, 1, 210},
    {"#root::hv::get_strlenTITLE_atr", 13, 1, 232},
    {"#root::hv::get_cntwordTITLE", 13, 1, 221},
    {"#root::hv::get_cntwordH1", 13, 1, 221},
    {"#root::hv::get_cntwordH2", 13, 1, 223},
    {"#root::hv::get_cntwordH3", 13, 1, 221},
    {"#root::hv::get_cntwordH4", 13, 1, 123},
    {"#root::hv::get_cntwordKW", 13, 1, 111},
    {"#root::hv::get_cntwordDES", 13, 1, 322},
    {"#root::hv::get_cntwordSTRONG", 13, 1, 312},
    {"#root::hv::get_cntwordEM", 13, 1, 123},
    {"#root::hv::get_cntwordALT", 13, 1, 322},
    {"#root::hv::get_cntwordTITLE_atr", 13, 1, 312},
};

// printf's "%.6g" with the exponent widened to three digits and an unsigned "nan". The log's
// runtime rounds a value exactly halfway at the seventh significant digit away from zero,
// printf to even: such a value is moved one ulp outward first. "%.766e" shows every digit;
// "%.40e" spares it most values.
inline std::string reference_number(double v) {
  if (std::isnan(v)) return "nan";
  char text[800] = {};
  const auto halfway = [&] {
    return text[7] == '5' && text[8 + std::strspn(text + 8, "0")] == 'e';
  };
  std::snprintf(text, sizeof text, "%.40e", std::fabs(v));
  if (halfway()) std::snprintf(text, sizeof text, "%.766e", std::fabs(v));
  if (halfway()) v = std::nextafter(v, 2 * v);
  std::snprintf(text, sizeof text, "%.6g", v);
  std::string s = text;
  const std::size_t e = s.find('e');
  if (e != std::string::npos && s.size() - (e + 2) < 3)
    s.insert(e + 2, 3 - (s.size() - (e + 2)), '0');
  return s;
}

class ReferenceRunner {
 public:
  // The log text of one line (empty when it writes nothing), with CR LF.
  std::string line_output(const std::string& line) {
    std::stringstream stream;
    stream << line << " -1 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 ";
    std::string word;
    stream >> word;
    for (double& a : args_) stream >> a;
    if (word.find("#root::math::") == std::string::npos &&
        word.find("#root::hv::get_") == std::string::npos) {
      return {};
    }
    std::string out;
    double verdict = 0;
    for (const ReferenceCommand& c : kReferenceCommands) {
      if (word != c.name) continue;
      const long double a1 = args_[0], a2 = args_[1], a4 = args_[3];
      long double v = 0;
      switch (c.kind) {
        case 0:
          v = a1 * static_cast<long double>(c.a);
          break;
        case 1:
          v = a1 * a2 - a4;
          break;
        case 2:
          v = a1 / a2 * static_cast<long double>(c.a);
          break;
        case 3:
          v = a1 / a2;
          break;
        case 4:
          v = a1 * a2;
          break;
        case 10:
          verdict = args_[0] >= c.a;
          break;
        case 11:
          verdict = args_[0] <= c.b;
          break;
        case 12:
          verdict = args_[0] < c.b;
          break;
        case 13:
          verdict = c.a < args_[0] && args_[0] < c.b;
          break;
      }
      if (c.kind < 10) {
        const bool vptya = word == "#root::math::vptya";
        out = word + (vptya ? " <<  " : " << ") +
              reference_number(std::ceil(static_cast<double>(v))) + "\r\n";
      }
    }
    if (word.find("#root::hv::get_") != std::string::npos) {
      out = word + " = " + reference_number(verdict) + "\r\n";
    }
    return out;
  }

 private:
  double args_[10] = {};
};

}  // namespace orven::bench
