// Reading one script line: the command word and the ten arguments, with the argument filler
// behind every line and the arguments that a failed number leaves as the previous line had.
#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <string>

#include "script/script.h"
#include "workspace/workspace.h"

namespace {

using orven::kArgumentCount;
using orven::parse_line;
using Args = std::array<double, kArgumentCount>;

class ScriptLineParsing : public ::testing::Test {
 protected:
  orven::WorkspacePtr ws = orven::create_workspace();
  orven::Workspace& w = *ws;
  const std::string& word() const { return orven::command_word(w); }
};

// The filler: after k numbers, argument j (j > k) is j - k - 2.
TEST_F(ScriptLineParsing, FillerValuesAfterKNumbers) {
  parse_line(w, "#root::math::vptya 100");
  EXPECT_EQ(word(), "#root::math::vptya");
  EXPECT_EQ(w.args, (Args{100, -1, 0, 1, 2, 3, 4, 5, 6, 7}));

  parse_line(w, "#root::math::oerp 10 20 500");
  EXPECT_EQ(w.args, (Args{10, 20, 500, -1, 0, 1, 2, 3, 4, 5}));

  parse_line(w, "#root::math::vptya");
  EXPECT_EQ(w.args, (Args{-1, 0, 1, 2, 3, 4, 5, 6, 7, 8}));

  for (int k = 0; k <= 10; ++k) {
    std::string line = "#root::hv::get_ajax";
    for (int j = 1; j <= k; ++j) line += " " + std::to_string(100 + j);
    parse_line(w, line);
    for (int j = 1; j <= 10; ++j) {
      EXPECT_EQ(w.args[j - 1], j <= k ? 100 + j : j - k - 2) << "k=" << k << " j=" << j;
    }
  }

  parse_line(w, "w 1 2 3 4 5 6 7 8 9 10 11 12");  // twelve numbers: the first ten count
  EXPECT_EQ(w.args, (Args{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(ScriptLineParsing, EmptyOrBlankLineReadsTheFillerAlone) {
  for (const char* line : {"", "   ", "\t\r", "\r"}) {
    parse_line(w, line);
    EXPECT_EQ(word(), "-1");
    EXPECT_EQ(w.args, (Args{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  }
}

// A bad number sets its argument to 0.0; the later ones keep the previous line's values.
TEST_F(ScriptLineParsing, BadNumbersCarryOverLaterArguments) {
  const Args previous{41, 42, 43, 44, 45, 46, 47, 48, 49, 50};
  const auto after = [&](const char* line) {
    parse_line(w, "w 41 42 43 44 45 46 47 48 49 50");
    parse_line(w, line);
    return w.args;
  };
  EXPECT_EQ(after("#root::math::vptya abc"), (Args{0, 42, 43, 44, 45, 46, 47, 48, 49, 50}));
  EXPECT_EQ(after("#root::math::get_ctr 1,5 10"), (Args{1, 0, 43, 44, 45, 46, 47, 48, 49, 50}));
  EXPECT_EQ(after("#root::math::get_ctr 100abc 10"),
            (Args{100, 0, 43, 44, 45, 46, 47, 48, 49, 50}));
  EXPECT_EQ(after("#root::math::pkss 1e400"), (Args{DBL_MAX, 42, 43, 44, 45, 46, 47, 48, 49, 50}));
  EXPECT_EQ(after("#root::math::pkss -1e400 5"),
            (Args{-DBL_MAX, 42, 43, 44, 45, 46, 47, 48, 49, 50}));
  EXPECT_EQ(after("#root::math::pkss 3 - 4"), (Args{3, 0, 43, 44, 45, 46, 47, 48, 49, 50}));
  EXPECT_EQ(after("#root::math::pkss 3 + 4"), (Args{3, 0, 43, 44, 45, 46, 47, 48, 49, 50}));
  EXPECT_EQ(after("#root::math::pkss 3 4 5e"), (Args{3, 4, 0, 44, 45, 46, 47, 48, 49, 50}));
  EXPECT_EQ(after("#root::math::pkss 3 4 5e- 6"), (Args{3, 4, 0, 44, 45, 46, 47, 48, 49, 50}));
  EXPECT_EQ(after("#root::math::pkss inf"), (Args{0, 42, 43, 44, 45, 46, 47, 48, 49, 50}));
  EXPECT_EQ(after("#root::math::pkss 0x10"), (Args{0, 0, 43, 44, 45, 46, 47, 48, 49, 50}));
  // A number too small for a double reads as zero and does not stop the line.
  EXPECT_EQ(after("#root::math::pkss 1e-400 7"), (Args{0, 7, -1, 0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(previous[0], 41);

  // After an empty line the carried values are 0 to 9; in a fresh run, 0.0.
  parse_line(w, "");
  parse_line(w, "#root::math::vptya abc");
  EXPECT_EQ(w.args, (Args{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  orven::WorkspacePtr fresh = orven::create_workspace();
  parse_line(*fresh, "#root::math::get_ctr 5 x");
  EXPECT_EQ(fresh->args, (Args{5, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// Whitespace is the six classic bytes; a carriage return never reaches a token.
TEST_F(ScriptLineParsing, WhitespaceAndLineEnds) {
  parse_line(w, "  #root::hv::get_ajax\t5");
  EXPECT_EQ(word(), "#root::hv::get_ajax");
  EXPECT_EQ(w.args[0], 5);
  parse_line(w, "#root::math::get_ctr 100 10\r");
  EXPECT_EQ(word(), "#root::math::get_ctr");
  EXPECT_EQ(w.args, (Args{100, 10, -1, 0, 1, 2, 3, 4, 5, 6}));
  parse_line(w, "#root::math::vptya\r");
  EXPECT_EQ(word(), "#root::math::vptya");
  EXPECT_EQ(w.args[0], -1);
  parse_line(w, "\v\f#root::math::vptya\v7\f8\n9");
  EXPECT_EQ(word(), "#root::math::vptya");
  EXPECT_EQ(w.args[0], 7);
  EXPECT_EQ(w.args[2], 9);
}

// Any bytes: a byte-order mark, windows-1251 and zero bytes belong to the word.
TEST_F(ScriptLineParsing, AnyBytesBelongToTokens) {
  parse_line(w, "\xEF\xBB\xBF#root::math::vptya 5");
  EXPECT_EQ(word(), "\xEF\xBB\xBF#root::math::vptya");
  const std::string zero("#root::\0math:: 5", 16);
  parse_line(w, zero);
  EXPECT_EQ(word(), std::string("#root::\0math::", 14));
  EXPECT_EQ(w.args[0], 5);
  parse_line(w,
             "\xCF\xF0\xE8\xE2\xE5\xF2 \xA0"
             "5");  // "Привет", then a no-break space
  EXPECT_EQ(word(), "\xCF\xF0\xE8\xE2\xE5\xF2");
  EXPECT_EQ(w.args[0], 0);
}

TEST_F(ScriptLineParsing, LineHeldInTheCommandWordSlotIsReadWhole) {
  orven::command_word(w) = "#root::math::oerp 10 20 500 30";
  parse_line(w, orven::command_word(w));
  EXPECT_EQ(word(), "#root::math::oerp");
  EXPECT_EQ(w.args, (Args{10, 20, 500, 30, -1, 0, 1, 2, 3, 4}));
}

}  // namespace
