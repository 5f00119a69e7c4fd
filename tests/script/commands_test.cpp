// The command set: the gate against whole names, the nine formulas with their documented
// examples, the thirty verdict ranges on both sides of every bound, and the line formats.
#include "texts/commands.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>

#include "script/command_set.h"
#include "script/script.h"
#include "texts/messages.h"
#include "workspace/workspace.h"

namespace {

class ScriptCommands : public ::testing::Test {
 protected:
  orven::WorkspacePtr ws = orven::create_workspace();
  orven::Workspace& w = *ws;

  // What one script line appends to the log, as the bytes on disk.
  std::string log_of(const std::string& line) {
    orven::parse_line(w, line);
    std::string log;
    if (orven::passes_gate(orven::command_word(w))) orven::evaluate_command(w, log);
    return log;
  }
};

// The gate looks for a prefix anywhere in the word; the commands need the whole name.
TEST_F(ScriptCommands, GateAgainstNames) {
  EXPECT_EQ(log_of("note #root::math::vptya 5"), "");
  EXPECT_EQ(log_of("x#root::hv::get_ajax 5"), "x#root::hv::get_ajax = 0\r\n");
  EXPECT_EQ(log_of("#root::math::VPTYA 5"), "");
  EXPECT_EQ(log_of("#root::math::sum 5"), "");
  EXPECT_EQ(log_of("x#root::math::vptya 5"), "");
  EXPECT_EQ(log_of("#root::math::vptya5"), "");
  EXPECT_EQ(log_of("#root::hv::get_size 5"), "#root::hv::get_size = 0\r\n");
  EXPECT_EQ(log_of("#root::hv::get_ajaxx 5"), "#root::hv::get_ajaxx = 0\r\n");
  EXPECT_EQ(log_of("#root::hv::get_ 5"), "#root::hv::get_ = 0\r\n");
  EXPECT_EQ(log_of("#root::hv::GET_ajax 5"), "");
  EXPECT_EQ(log_of("#root::math:: 5"), "");
  EXPECT_EQ(log_of(""), "");
  EXPECT_FALSE(orven::passes_gate("#root::math:"));
  EXPECT_FALSE(orven::passes_gate("#root::hv::get"));
  EXPECT_TRUE(orven::passes_gate("abc#root::math::"));
}

// Every gated line resets the verdict, math lines too; other lines leave it alone.
TEST_F(ScriptCommands, VerdictIsResetOnEveryGatedLine) {
  log_of("#root::hv::get_ajax 5");
  EXPECT_EQ(w.verdict, 1.0);
  log_of("note 5");
  EXPECT_EQ(w.verdict, 1.0);
  log_of("#root::math::vptya 5");
  EXPECT_EQ(w.verdict, 0.0);
  log_of("#root::hv::get_ajax 5");
  log_of("#root::math::nothing");
  EXPECT_EQ(w.verdict, 0.0);
}

TEST_F(ScriptCommands, DocumentedMathExamples) {
  EXPECT_EQ(log_of("#root::math::vptya 1000"), "#root::math::vptya <<  980\r\n");
  EXPECT_EQ(log_of("#root::math::vptga 1000"), "#root::math::vptga << 970\r\n");
  EXPECT_EQ(log_of("#root::math::oerp 10 20 500"), "#root::math::oerp << 201\r\n");
  EXPECT_EQ(log_of("#root::math::pkss 1500"), "#root::math::pkss << 180\r\n");
  EXPECT_EQ(log_of("#root::math::pavbsm 5210"), "#root::math::pavbsm << 834\r\n");
  EXPECT_EQ(log_of("#root::math::pbtscp 437"), "#root::math::pbtscp << 53\r\n");
  EXPECT_EQ(log_of("#root::math::get_ctr 100 10"), "#root::math::get_ctr << 1000\r\n");
  EXPECT_EQ(log_of("#root::math::get_cnvr 1000 10"), "#root::math::get_cnvr << 100\r\n");
  EXPECT_EQ(log_of("#root::math::get_aimcost 100 15"), "#root::math::get_aimcost << 1500\r\n");
}

TEST_F(ScriptCommands, MathEdgeCases) {
  EXPECT_EQ(log_of("#root::math::vptya"), "#root::math::vptya <<  -0\r\n");
  EXPECT_EQ(log_of("#root::math::pkss -1"), "#root::math::pkss << -0\r\n");
  EXPECT_EQ(log_of("#root::math::pkss -10"), "#root::math::pkss << -1\r\n");
  EXPECT_EQ(log_of("#root::math::oerp 10 20 500 30"), "#root::math::oerp << 170\r\n");
  EXPECT_EQ(log_of("#root::math::get_ctr 1 3"), "#root::math::get_ctr << 34\r\n");
  EXPECT_EQ(log_of("#root::math::get_ctr 5 0"), "#root::math::get_ctr << inf\r\n");
  EXPECT_EQ(log_of("#root::math::get_ctr -5 0"), "#root::math::get_ctr << -inf\r\n");
  EXPECT_EQ(log_of("#root::math::get_cnvr 0 0"), "#root::math::get_cnvr << nan\r\n");
  EXPECT_EQ(log_of("#root::math::get_aimcost 1e200 1e200"), "#root::math::get_aimcost << inf\r\n");
  EXPECT_EQ(log_of("#root::math::pkss 1e400"), "#root::math::pkss << 2.15723e+307\r\n");
  EXPECT_EQ(log_of("  #root::math::vptga\t1000\r"), "#root::math::vptga << 970\r\n");
}

// Extended precision, rounded once to double: double arithmetic would give 8 and 221.
TEST_F(ScriptCommands, ExtendedPrecision) {
  EXPECT_EQ(log_of("#root::math::get_ctr 7 100"), "#root::math::get_ctr << 7\r\n");
  EXPECT_EQ(log_of("#root::math::get_ctr 11 5"), "#root::math::get_ctr << 220\r\n");
}

// The 1 000 000 boundary of the number format.
TEST_F(ScriptCommands, NumberFormatInLogLines) {
  EXPECT_EQ(log_of("#root::math::vptya 1234567"), "#root::math::vptya <<  1.20988e+006\r\n");
  EXPECT_EQ(log_of("#root::math::get_aimcost 1000 2000"), "#root::math::get_aimcost << 2e+006\r\n");
  EXPECT_EQ(log_of("#root::math::get_aimcost 999 1000"), "#root::math::get_aimcost << 999000\r\n");
  EXPECT_EQ(log_of("#root::math::get_aimcost 999999 1"), "#root::math::get_aimcost << 999999\r\n");
  EXPECT_EQ(log_of("#root::math::get_aimcost 1000000 1"), "#root::math::get_aimcost << 1e+006\r\n");
  EXPECT_EQ(log_of("#root::math::get_aimcost -1000000 1"),
            "#root::math::get_aimcost << -1e+006\r\n");
  // An exact tie at the seventh digit rounds away from zero.
  const std::string aimcost(orven::texts::commands::kGetAimcost);
  const std::string logged = aimcost + std::string(orven::texts::commands::kMathSeparator);
  EXPECT_EQ(log_of(aimcost + " 1234565 1"), logged + "1.23457e+006\r\n");
  EXPECT_EQ(log_of(aimcost + " 12345650 1"), logged + "1.23457e+007\r\n");
  EXPECT_EQ(log_of(aimcost + " -1234575 1"), logged + "-1.23458e+006\r\n");
}

// Every verdict command: the value inside its range logs 1, each side of each bound as
// the bound is inclusive or exclusive.
TEST_F(ScriptCommands, EveryVerdictBoundOnBothSides) {
  struct Case {
    const char* name;
    double inside;
    double outside;
  };
  const Case cases[] = {
      {"needcms", 20, 19.5},     {"ajax", 8, 8.5},         {"jqanimate", 5.9, 6},
      {"jqappend", 980, 979.5},  {"domcss", 3, 2.5},       {"domtoggle", 5, 4.5},
      {"sgmsricms", 420, 419.5}, {"dagcn", 120, 119.5},    {"needcms", 1e9, -1e9},
      {"ajax", -1e9, 1e9},       {"jqanimate", -1e9, 1e9}, {"jqappend", 1e9, 0},
      {"domcss", 1e9, 0},        {"domtoggle", 1e9, 0},    {"sgmsricms", 1e9, 0},
      {"dagcn", 1e9, 0},
  };
  for (const Case& c : cases) {
    const std::string name = std::string("#root::hv::get_") + c.name;
    EXPECT_EQ(log_of(name + " " + std::to_string(c.inside)), name + " = 1\r\n");
    EXPECT_EQ(log_of(name + " " + std::to_string(c.outside)), name + " = 0\r\n");
  }
  // Both bounds exclusive: 1 < a1 < high.
  struct Strict {
    const char* name;
    int high;
  };
  const Strict strict[] = {
      {"strlenTITLE", 31},       {"strlenH1", 18},         {"strlenH2", 20},
      {"strlenH3", 20},          {"strlenH4", 20},         {"strlenKW", 61},
      {"strlenDES", 171},        {"strlenSTRONG", 80},     {"strlenEM", 154},
      {"strlenALT", 210},        {"strlenTITLE_atr", 232}, {"cntwordTITLE", 221},
      {"cntwordH1", 221},        {"cntwordH2", 223},       {"cntwordH3", 221},
      {"cntwordH4", 123},        {"cntwordKW", 111},       {"cntwordDES", 322},
      {"cntwordSTRONG", 312},    {"cntwordEM", 123},       {"cntwordALT", 322},
      {"cntwordTITLE_atr", 312},
  };
  for (const Strict& c : strict) {
    const std::string name = std::string("#root::hv::get_") + c.name;
    const std::string yes = name + " = 1\r\n";
    const std::string no = name + " = 0\r\n";
    EXPECT_EQ(log_of(name + " 1"), no);
    EXPECT_EQ(log_of(name + " 1.5"), yes);
    EXPECT_EQ(log_of(name + " " + std::to_string(c.high - 1) + ".5"), yes);
    EXPECT_EQ(log_of(name + " " + std::to_string(c.high)), no);
    EXPECT_EQ(log_of(name + " " + std::to_string(c.high + 1)), no);
  }
}

TEST_F(ScriptCommands, DocumentedVerdictExamples) {
  EXPECT_EQ(log_of("#root::hv::get_needcms 20"), "#root::hv::get_needcms = 1\r\n");
  EXPECT_EQ(log_of("#root::hv::get_needcms 15"), "#root::hv::get_needcms = 0\r\n");
  EXPECT_EQ(log_of("#root::hv::get_ajax 5"), "#root::hv::get_ajax = 1\r\n");
  EXPECT_EQ(log_of("#root::hv::get_jqappend 11"), "#root::hv::get_jqappend = 0\r\n");
  EXPECT_EQ(log_of("#root::hv::get_jqanimate 2"), "#root::hv::get_jqanimate = 1\r\n");
  EXPECT_EQ(log_of("#root::hv::get_sgmsricms 150"), "#root::hv::get_sgmsricms = 0\r\n");
  EXPECT_EQ(log_of("#root::hv::get_dagcn 100"), "#root::hv::get_dagcn = 0\r\n");
  EXPECT_EQ(log_of("#root::hv::get_domcss 1"), "#root::hv::get_domcss = 0\r\n");
  EXPECT_EQ(log_of("#root::hv::get_domtoggle 1"), "#root::hv::get_domtoggle = 0\r\n");
  EXPECT_EQ(log_of("#root::hv::get_domcss abc"), "#root::hv::get_domcss = 0\r\n");
  EXPECT_EQ(log_of("#root::hv::get_strlenH2 20"), "#root::hv::get_strlenH2 = 0\r\n");
  EXPECT_EQ(log_of("#root::hv::get_strlenH2 19"), "#root::hv::get_strlenH2 = 1\r\n");
  EXPECT_EQ(log_of("#root::hv::get_strlenTITLE_atr 20"), "#root::hv::get_strlenTITLE_atr = 1\r\n");
  EXPECT_EQ(log_of("#root::hv::get_cntwordTITLE_atr 2"), "#root::hv::get_cntwordTITLE_atr = 1\r\n");
  for (const char* name : {"strlenTITLE", "strlenKW", "strlenDES", "strlenSTRONG", "strlenEM",
                           "strlenALT", "strlenTITLE_atr"}) {
    const std::string word = std::string("#root::hv::get_") + name;
    EXPECT_EQ(log_of(word + " 20"), word + " = 1\r\n");
  }
  for (const char* name : {"strlenH1", "strlenH2", "strlenH3", "strlenH4"}) {
    const std::string word = std::string("#root::hv::get_") + name;
    EXPECT_EQ(log_of(word + " 20"), word + " = 0\r\n");
  }
  for (const char* name :
       {"TITLE", "H1", "H2", "H3", "H4", "KW", "DES", "STRONG", "EM", "ALT", "TITLE_atr"}) {
    const std::string word = std::string("#root::hv::get_cntword") + name;
    EXPECT_EQ(log_of(word + " 2"), word + " = 1\r\n");
  }
}

// Alone, a verdict command has argument 1 = -1: only ajax and jqanimate hold then.
TEST_F(ScriptCommands, VerdictCommandsWithoutNumber) {
  const char* names[] = {
      "needcms",      "ajax",          "jqanimate", "jqappend",        "domcss",
      "domtoggle",    "sgmsricms",     "dagcn",     "strlenTITLE",     "strlenH1",
      "strlenH2",     "strlenH3",      "strlenH4",  "strlenKW",        "strlenDES",
      "strlenSTRONG", "strlenEM",      "strlenALT", "strlenTITLE_atr", "cntwordTITLE",
      "cntwordH1",    "cntwordH2",     "cntwordH3", "cntwordH4",       "cntwordKW",
      "cntwordDES",   "cntwordSTRONG", "cntwordEM", "cntwordALT",      "cntwordTITLE_atr"};
  for (const char* name : names) {
    const std::string word = std::string("#root::hv::get_") + name;
    const bool holds = word == "#root::hv::get_ajax" || word == "#root::hv::get_jqanimate";
    EXPECT_EQ(log_of(word), word + (holds ? " = 1\r\n" : " = 0\r\n"));
  }
}

}  // namespace

// The expert commands as a user reads about them: every command in orven-cli's help, and
// in its manual page with an example whose log line is the one the command writes.
TEST_F(ScriptCommands, HelpAndManualPageListEveryCommandWithTrueExamples) {
  namespace names = orven::texts::commands;
  const std::string_view help = orven::texts::messages::kCliHelp;
  std::ifstream in(std::string(ORVEN_SOURCE_DIR) + "/packaging/orven-cli.1.in");
  ASSERT_TRUE(in);
  std::map<std::string, std::string> examples;  // script line -> log line
  for (std::string line; std::getline(in, line);) {
    const std::string plain = [&] {
      std::string out;
      for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '-' || line[i + 1] == '\\')) {
          ++i;
        }
        out += line[i];
      }
      return out;
    }();
    const std::size_t first = plain.find("\\f(CW");
    const std::size_t second = plain.find("\\f(CW", first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const auto between = [&](std::size_t from) {
      from += 5;
      return plain.substr(from, plain.find("\\fP", from) - from);
    };
    examples[between(first)] = between(second);
  }
  std::set<std::string> documented;
  for (const auto& [script_line, log_line] : examples) {
    EXPECT_EQ(log_of(script_line), log_line + "\r\n") << script_line;
    documented.insert(script_line.substr(0, script_line.find(' ')));
  }
  for (const auto& c : orven::script::kMathCommands) {
    EXPECT_TRUE(documented.contains(std::string(c.name))) << c.name;
    EXPECT_NE(help.find(std::string(c.name) + " A"), std::string_view::npos) << c.name;
  }
  for (const auto& c : orven::script::kVerdictCommands) {
    EXPECT_TRUE(documented.contains(std::string(c.name))) << c.name;
    const std::string bare(c.name.substr(names::kVerdictGate.size()));
    EXPECT_NE(help.find(" " + bare + " "), std::string_view::npos) << c.name;
  }
  EXPECT_EQ(documented.size(),
            orven::script::kMathCommands.size() + orven::script::kVerdictCommands.size());
}
