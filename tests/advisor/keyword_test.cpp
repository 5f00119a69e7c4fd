// The scanned text and the keyword test: how loading joins words, where searches stop, and
// that the one-pass scan answers exactly as the direct search does.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/advisor.h"
#include "advisor/keyword_scan.h"
#include "training_fixture.h"

namespace orven::testing {
namespace {

// The bytes of a literal, zero bytes inside included.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

using LoadSource = TrainingTest;

// Exactly the six whitespace bytes separate words; every other byte, 0x85 and 0xA0 and the
// zero byte included, belongs to a word. Slot 0 ends as the last word.
TEST_F(LoadSource, JoinsWordsAndDropsOnlyTheSixWhitespaceBytes) {
  write_bytes("source.txt", bytes("  for ($i\t=\v0;\f$i\r\n<\x85\xA0>\0z  last\n"));
  workspace_ = create_workspace();
  scanned_text(*workspace_) = "kept";
  ASSERT_EQ(load_source(*workspace_, "source.txt").status, ModeOutcome::Status::ok);
  EXPECT_EQ(scanned_text(*workspace_), bytes("keptfor($i=0;$i<\x85\xA0>\0zlast"));
  EXPECT_EQ(current_word(*workspace_), "last");
}

// Words running across the reading chunks are whole; a final line break changes nothing.
TEST_F(LoadSource, LongWordsAndLongGapsAcrossChunks) {
  const std::string long_word(3 << 20, 'w');
  for (const std::string& source :
       {long_word, "a " + long_word + "\n", "a" + std::string(3 << 20, ' ') + "bc\n\n",
        std::string(2 << 20, '\n'), "ab" + std::string((1 << 20) - 2, ' ') + "cd"}) {
    write_bytes("source.txt", source);
    workspace_ = create_workspace();
    ASSERT_EQ(load_source(*workspace_, "source.txt").status, ModeOutcome::Status::ok);
    std::string joined = source;
    std::erase_if(joined, [](char c) { return c == ' ' || c == '\n'; });
    EXPECT_EQ(scanned_text(*workspace_), joined);
    const std::size_t last = source.find_last_not_of(" \n");
    const std::size_t first = source.find_last_of(" \n", last);
    EXPECT_EQ(current_word(*workspace_),
              last == std::string::npos ? "" : source.substr(first + 1, last - first))
        << source.size();
  }
}

// Case counts; the test stops at the first zero byte; blanks inside keywords are dropped.
TEST(ScannedContains, CaseZeroByteAndBlankFreeKeywords) {
  WorkspacePtr w = create_workspace();
  scanned_text(*w) = bytes("classFooextendsBarsimplexml_load_stringeval($x)\0</body");
  EXPECT_TRUE(scanned_contains(*w, "eval("));
  EXPECT_TRUE(scanned_contains(*w, "eval ("));
  EXPECT_TRUE(scanned_contains(*w, "class "));
  EXPECT_TRUE(scanned_contains(*w, " extends "));
  EXPECT_TRUE(scanned_contains(*w, "simplexml_ load_ string"));
  EXPECT_TRUE(scanned_contains(*w, "xml"));
  EXPECT_FALSE(scanned_contains(*w, "Class"));
  EXPECT_FALSE(scanned_contains(*w, "</body"));
  EXPECT_FALSE(scanned_contains(*w, std::string_view("\0<", 2)));
}

// The one-pass scan against the direct search, on random texts over a small alphabet (so
// that keywords overlap, nest and straddle the middle of the text) with the odd zero byte.
TEST(KeywordScan, AnswersLikeTheDirectSearch) {
  std::mt19937 random(2012);
  const std::string_view alphabet("abc (\0", 6);
  auto random_text = [&](std::size_t max_size, std::size_t letters) {
    std::string text(random() % max_size, ' ');
    for (char& c : text) c = alphabet[random() % letters];
    return text;
  };
  WorkspacePtr w = create_workspace();
  for (int round = 0; round < 300; ++round) {
    const std::size_t letters = round % 3 == 0 ? 6 : 5;  // every third text may hold zeros
    scanned_text(*w) = random_text(round % 10 == 0 ? 3 : 400, letters);
    std::vector<std::string> keywords;
    for (int k = 0; k < 12; ++k) keywords.push_back(random_text(7, 5));
    keywords.push_back("");
    const std::vector<std::string_view> settled(keywords.begin(), keywords.end() - 4);
    const KeywordScan scan(scanned_text(*w), settled);
    for (const std::string& keyword : keywords) {
      ASSERT_EQ(scan.contains(keyword), scanned_contains(*w, keyword))
          << "round " << round << " keyword '" << keyword << "'";
    }
  }
}

// One keyword set made ready once serves scan after scan: what one text held never shows
// in the answers for the next (as when a window runs training mode again and again).
TEST(KeywordScan, OneKeywordSetServesManyTexts) {
  const std::vector<std::string_view> keywords{"<?php", "class ", "echo", "#include", "ho"};
  const KeywordSet set(keywords);
  WorkspacePtr w = create_workspace();
  for (const std::string_view text : {"<?phpechoclassA", "#include<x>", "", "e c h o", "ho"}) {
    scanned_text(*w) = text;
    const KeywordScan scan(scanned_text(*w), set);
    for (const std::string_view keyword : keywords) {
      EXPECT_EQ(scan.contains(keyword), scanned_contains(*w, keyword))
          << "text '" << text << "' keyword '" << keyword << "'";
    }
  }
}

// A keyword right across the middle, where the two walks of the scan meet.
TEST(KeywordScan, FindsAKeywordAcrossTheMiddle) {
  for (std::size_t shift = 0; shift < 8; ++shift) {
    std::string text(1000, '.');
    text.replace(500 - shift, 7, "#include");
    const std::vector<std::string_view> keywords{"#include", "nowhere"};
    const KeywordScan scan(text, keywords);
    EXPECT_TRUE(scan.contains("#include")) << shift;
    EXPECT_FALSE(scan.contains("nowhere"));
  }
}

}  // namespace
}  // namespace orven::testing
