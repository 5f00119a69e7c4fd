// The scanned text and the keyword test: how the scan joins words across chunks and files
// (a segment summarised alone, the fold of the pieces in order), where searches stop, and that the
// one-pass scan answers exactly as the direct search does.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/advisor.h"
#include "advisor/code_lexers.h"
#include "advisor/code_match.h"
#include "advisor/keyword_scan.h"
#include "advisor/scan_fold.h"
#include "advisor/segment_summary.h"
#include "training_fixture.h"

namespace orven::testing {
namespace {

namespace fs = std::filesystem;

// The bytes of a literal, zero bytes inside included.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

// The direct definitions, written out the long way: the six whitespace bytes separate words,
// a file counts up to its first zero byte, the files follow one another.
bool is_space(char c) {
  return std::string_view(" \t\n\v\f\r").find(c) != std::string_view::npos;
}
std::string without_spaces(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (!is_space(c)) out += c;
  }
  return out;
}
std::string searched_text(const std::vector<std::string>& files) {
  std::string text;
  for (const std::string& file : files) text += file.substr(0, file.find('\0'));
  return text;
}
bool direct_contains(std::string_view scanned, std::string_view keyword) {
  return scanned.substr(0, scanned.find('\0')).find(without_spaces(keyword)) !=
         std::string_view::npos;
}
// The one-pass walk over a whitespace-free text with a zero byte, as the scan makes it.
bool text_contains(std::string_view text, const KeywordSet& set, std::string_view keyword) {
  if (without_spaces(keyword).empty()) return true;
  std::vector<bool> found(set.size(), false);
  set.find_all(searchable_part(text), found);
  const std::size_t k = set.index_of(keyword);
  return k < set.size() && found[k];
}
std::string last_word(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && is_space(text[end - 1])) --end;
  std::size_t begin = end;
  while (begin > 0 && !is_space(text[begin - 1])) --begin;
  return std::string(text.substr(begin, end - begin));
}

// The scan of a run over files f0.txt, f1.txt … holding the given bytes, with the given
// keywords: what it found, and what it left in slots 200 and 0.
class ScanSources : public TrainingTest {
 protected:
  struct Result {
    ModeOutcome outcome;
    std::vector<bool> found;  // per keyword
    std::string end_of_text;  // slot 200
    std::string word;         // slot 0
  };
  Result scan(const std::vector<std::string>& files, const std::vector<std::string>& keywords,
              const ScanSettings& settings = {}) {
    std::vector<fs::path> paths;
    for (std::size_t i = 0; i < files.size(); ++i) {
      paths.push_back("f" + std::to_string(i) + ".txt");
      write_bytes(paths.back(), files[i]);
    }
    const std::vector<std::string_view> views(keywords.begin(), keywords.end());
    const KeywordSet set(views);
    workspace_ = create_workspace();
    const ScanResult found = scan_sources(paths, set, settings);
    keep_scanned_text(*workspace_, found);
    Result result;
    result.outcome = found.outcome;
    for (const std::string& keyword : keywords) {
      result.found.push_back(scanned_contains(found, set, keyword));
    }
    result.end_of_text = scanned_text(*workspace_);
    result.word = current_word(*workspace_);
    return result;
  }
};

// Exactly the six whitespace bytes separate words; every other byte, 0x85 and 0xA0 included,
// belongs to a word. A zero byte ends its file's text, not the run's: the next file goes on.
TEST_F(ScanSources, WhitespaceZeroBytesAndFiles) {
  const std::vector<std::string> keywords{"for($i", "0;$i<\x85\xA0>", "<\x85\xA0>n", "after",
                                          "next",   "<\x85\xA0>next", "x\x85",       "\xA0>"};
  const Result r =
      scan({bytes("  for ($i\t=\v0;\f$i\r\n<\x85\xA0>\0after  zero\n"), "ne xt"}, keywords);
  ASSERT_EQ(r.outcome.status, ModeOutcome::Status::ok);
  EXPECT_EQ(r.found, (std::vector<bool>{true, true, true, false, true, true, false, true}));
  EXPECT_EQ(r.word, "xt");
  EXPECT_EQ(r.end_of_text, "\x85\xA0>next");  // the longest keyword less one byte
}

// Random texts over a few letters, whitespace and the odd zero byte, cut into files at random
// places (inside words and keywords too, empty files included), read in random chunk sizes
// (files sharing a buffer or not) by 1 and by 8 threads: the keywords found, slot 200 and slot 0
// are those of the one text.
TEST_F(ScanSources, PiecesAnswerLikeOneText) {
  std::mt19937 random(2013);
  const std::string_view alphabet("ab(c \n\t\0", 8);
  auto random_text = [&](std::size_t size, std::size_t letters) {
    std::string text(size, ' ');
    for (char& c : text) c = alphabet[random() % letters];
    return text;
  };
  for (int round = 0; round < random_rounds(400); ++round) {
    // Every fifth text has no whitespace (long words), every third may hold zero bytes.
    const std::size_t letters = round % 5 == 0 ? 4 : round % 3 == 0 ? 8 : 7;
    const std::string text = random_text(random() % (round % 7 == 0 ? 3000 : 300), letters);
    const std::vector<std::string> files = split_at_random(text, random);
    std::vector<std::string> keywords{"zz"};  // never there, so the scan never stops early
    for (int k = 0; k < 10; ++k) keywords.push_back(random_text(1 + random() % 6, 5));
    ScanSettings settings;
    settings.threads = round % 2 == 0 ? 1 : 8;
    // Small chunks put every piece of a file in a buffer of its own; larger ones (and the
    // default) put several files into one buffer, the last of them maybe cut at its end.
    settings.chunk_bytes = round % 10 == 0  ? 0
                           : round % 3 == 1 ? 64 + random() % 2000
                                            : 1 + random() % 40;
    const Result r = scan(files, keywords, settings);
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_EQ(r.outcome.status, ModeOutcome::Status::ok);
    const std::string searched = searched_text(files);
    const std::string joined = without_spaces(searched);
    std::size_t longest = 0;
    for (std::size_t k = 0; k < keywords.size(); ++k) {
      EXPECT_EQ(r.found[k], direct_contains(joined, keywords[k])) << "keyword " << keywords[k];
      longest = std::max(longest, without_spaces(keywords[k]).size());
    }
    EXPECT_EQ(r.end_of_text, joined.substr(joined.size() - std::min(joined.size(), longest - 1)));
    const std::string word = last_word(searched);
    EXPECT_EQ(r.word, word.substr(word.size() - std::min<std::size_t>(word.size(), kWordKept)));
  }
}

// Words and gaps of megabytes across the reading chunks: slot 0 keeps the end of the last
// word, slot 200 the end of the text; a final line break changes nothing.
TEST_F(ScanSources, LongWordsAndLongGapsAcrossChunks) {
  const std::string long_word(3 << 20, 'w');
  for (const std::string& source :
       {long_word, "a " + long_word + "\n", "a" + std::string(3 << 20, ' ') + "bc\n\n",
        std::string(2 << 20, '\n'), "ab" + std::string((1 << 20) - 2, ' ') + "cd"}) {
    const Result r = scan({source}, {"zzz", "ab", "ac", "bc"});
    const std::string joined = without_spaces(source);
    EXPECT_EQ(r.found, (std::vector<bool>{false, joined.find("ab") != std::string::npos,
                                          joined.find("ac") != std::string::npos,
                                          joined.find("bc") != std::string::npos}));
    EXPECT_EQ(r.end_of_text,
              joined.substr(joined.size() - std::min<std::size_t>(2, joined.size())));
    const std::string word = last_word(source);
    EXPECT_EQ(r.word, word.substr(word.size() - std::min<std::size_t>(word.size(), kWordKept)))
        << source.size();
  }
}

// A segment summarised alone, from its bytes and its context only: what it keeps at its
// edges, the keywords inside it, their counts and first places, and in code only those that
// are code.
TEST_F(ScanSources, ASegmentSummaryStandsAlone) {
  const std::vector<std::string_view> keywords{"abcd", "for", "zz"};
  const KeywordSet set(keywords);
  const SegmentContext text{set, 3};
  const Stretch s = summarise_segment("x ab\n cd\tfor yy", text);
  EXPECT_EQ(s.found, (std::vector<bool>{true, true, false}));
  EXPECT_TRUE(s.edges.has_bytes);
  EXPECT_EQ(s.edges.head, "xab");
  EXPECT_EQ(s.edges.tail, "ryy");
  EXPECT_EQ(s.edges.word, "yy");
  EXPECT_FALSE(s.edges.word_at_start);
  EXPECT_TRUE(s.edges.ends_in_word);
  EXPECT_FALSE(s.places);
  // Short: head and tail are all its words; blank: bytes, but no words; empty: nothing.
  const Stretch short_one = summarise_segment(" ab ", text);
  EXPECT_EQ(short_one.edges.head, "ab");
  EXPECT_EQ(short_one.edges.tail, "ab");
  EXPECT_TRUE(short_one.edges.word_at_start == false && !short_one.edges.ends_in_word);
  const Stretch blank = summarise_segment(" \n\t", text);
  EXPECT_TRUE(blank.edges.has_bytes);
  EXPECT_TRUE(blank.edges.head.empty() && blank.edges.word.empty());
  EXPECT_FALSE(summarise_segment("", text).edges.has_bytes);

  // With places: counts, first places (line and column from 0, columns open until the file
  // is done) and the places of the head's and tail's bytes.
  SegmentContext with_places = text;
  with_places.places = true;
  const Stretch p = summarise_segment("x ab\n cd\tfor ab\ncd", with_places);
  ASSERT_TRUE(p.places);
  EXPECT_EQ(p.places->keywords[0].count, 2u);
  EXPECT_EQ(p.places->keywords[0].first.line, 0u);
  EXPECT_EQ(p.places->keywords[0].first.bytes, 2u);
  EXPECT_EQ(p.places->keywords[0].last.line, 1u);
  EXPECT_EQ(p.places->keywords[0].last.bytes, 2u);
  EXPECT_EQ(p.places->keywords[1].count, 1u);
  EXPECT_EQ(p.places->keywords[2].count, 0u);
  EXPECT_EQ(p.places->breaks, 2u);
  ASSERT_EQ(p.edges.head_places.size(), 3u);
  ASSERT_EQ(p.edges.tail_places.size(), 3u);
  EXPECT_EQ(p.edges.head_places[2].bytes, 3u);  // the "b" of "ab"
  EXPECT_EQ(p.edges.tail_places[0].line, 1u);   // "b", then "cd" on the next line
  EXPECT_EQ(p.edges.tail_places[1].line, 2u);
  EXPECT_EQ(p.edges.tail_places[2].bytes, 1u);

  // A whole file whose keywords are all settled before it keeps its counts only; one that is
  // not (or may run over its edge) gets its places.
  const std::vector<std::uint8_t> all_settled(set.size(), 1);
  const WholeFile settled{all_settled, {}, {}};
  const Stretch counted = summarise_segment("for abcd", with_places, &settled);
  EXPECT_TRUE(counted.places->counts_only);
  EXPECT_EQ(counted.places->keywords[1].count, 1u);
  std::vector<std::uint8_t> one_open = all_settled;
  one_open[2] = 0;
  const WholeFile open{one_open, {}, {}};
  EXPECT_TRUE(summarise_segment("for abcd", with_places, &open).places->counts_only);
  EXPECT_FALSE(summarise_segment("for abcdz", with_places, &open).places->counts_only);
  const std::string yy = "yy";
  const std::string zy = "zy";
  WholeFile known{one_open, {}, {}};  // the words on both sides known: "zz" is not across
  known.before = &yy;
  known.after = &yy;
  EXPECT_TRUE(summarise_segment("for abcdz", with_places, &known).places->counts_only);
  known.after = &zy;
  EXPECT_FALSE(summarise_segment("for abcdz", with_places, &known).places->counts_only);
  // Matched in code nothing counts over the edge of two files, whatever lies beyond it; a
  // keyword still open that occurs inside the file wants its places all the same.
  WholeFile closed{one_open, {}, {}};
  closed.edges_closed = true;
  EXPECT_TRUE(summarise_segment("for abcdz", with_places, &closed).places->counts_only);
  EXPECT_FALSE(summarise_segment("for abcdzz", with_places, &closed).places->counts_only);

  // In code: a C++ file lexed as the scan lexes it; "for" in a comment or a literal, or inside
  // a longer word, does not count; the edges carry the classes of their bytes.
  const std::string source = "// for\nx = \"for\"; forx; for (;;)";
  std::vector<CodeClass> classes(source.size());
  LexState state = lex_start(Language::c);
  lex_piece(state, source, {}, classes.data());
  const CodeView view{source, classes.data()};
  const std::vector<KeywordKind> kinds = kinds_of(set);
  SegmentContext code = with_places;
  code.code = &view;
  code.kinds = kinds;
  const Stretch c = summarise_segment(source, code);
  EXPECT_EQ(c.places->keywords[1].count, 1u);
  EXPECT_EQ(c.places->keywords[1].first.line, 1u);
  EXPECT_EQ(c.places->keywords[1].first.bytes, 17u);
  EXPECT_TRUE(c.edges.code);
  ASSERT_EQ(c.edges.head_code.size(), 3u);
  EXPECT_EQ(c.edges.head_code[0] & kClassBits, static_cast<int>(CodeClass::comment));
  EXPECT_EQ(c.edges.tail_code[2] & kClassBits, static_cast<int>(CodeClass::code));
  // As text, all four.
  EXPECT_EQ(summarise_segment(source, with_places).places->keywords[1].count, 4u);
}

// The fold alone: numbered pieces handed over in any order give one answer, that of the
// pieces in number order: a keyword across the seam of two segments of a file and across the
// edge of two files is found (never across files matched in code), and a file that failed
// part way never counts, whatever its segments held.
TEST_F(ScanSources, TheFoldPutsPiecesInOrderWhateverTheyCameIn) {
  const std::vector<std::string_view> keywords{"abcd", "yyzz", "qq", "never"};
  const KeywordSet set(keywords);
  struct Given {
    std::string_view text;  // a segment; an end when empty
    bool dropped = false;
    std::string_view file = {};
  };
  // f0 in two segments ("ab" | "cd" across the seam), f1 after it ("yy" | "zz" across the
  // files' edge), f2 failed after a segment that held "qq", f3 a file of "qq" split by a
  // segment of blanks only.
  const std::vector<Given> given{{"x\nab"},         {"cd yy"}, {"", false, "f0"}, {"zz q"},
                                 {"", false, "f1"}, {"qq"},    {"", true, "f2"},  {"q"},
                                 {" \n "},          {"q\n"},   {"", false, "f3"}};
  std::mt19937 random(27);
  for (int round = 0; round < 60; ++round) {
    const bool places = round % 3 != 0;
    const bool code = round % 3 == 2;
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<std::size_t> order(given.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (round % 20 == 1) {
      std::reverse(order.begin(), order.end());
    } else if (round % 20 != 0) {
      std::shuffle(order.begin(), order.end(), random);
    }
    const SegmentContext context{set, set.longest() - 1, places || code};
    ScanFold fold(set, code, places, nullptr);
    for (const std::size_t i : order) {
      ScanPiece piece;
      if (given[i].text.empty()) {
        piece.end = true;
        piece.dropped = given[i].dropped;
        piece.file = fs::path(given[i].file).native();
      } else {
        piece.text = summarise_segment(given[i].text, context);
      }
      fold.deposit(i, std::move(piece));
    }
    EXPECT_EQ(fold.folded(), given.size());
    EXPECT_FALSE(fold.all_found());
    std::vector<bool> found;  // in the order given
    for (const std::string_view keyword : keywords) {
      found.push_back(fold.whole().found[set.index_of(keyword)]);
    }
    EXPECT_EQ(found, (std::vector<bool>{true, !code, true, false}));
    if (!places && !code) continue;
    std::vector<KeywordPlaces> k;
    for (const std::string_view keyword : keywords) {
      k.push_back(fold.whole().places->keywords[set.index_of(keyword)]);
    }
    EXPECT_EQ(k[0].count, 1u);
    EXPECT_EQ(k[0].first.file, 0u);  // f0's second line (1 from 0), columns 0 to 3
    EXPECT_EQ(k[0].first.line, 1u);
    EXPECT_EQ(k[0].first.bytes, 0u);
    EXPECT_EQ(k[0].last.line, 1u);
    EXPECT_EQ(k[0].last.bytes, 3u);
    EXPECT_EQ(k[1].count, code ? 0u : 1u);
    if (!code) {
      EXPECT_EQ(k[1].first.file, 0u);
      EXPECT_EQ(k[1].last.file, 1u);
      EXPECT_EQ(k[1].last.bytes, 1u);
    }
    // "qq" of the failed file never counts: in f1 (across its end into f3 as text) and f3.
    EXPECT_EQ(k[2].count, code ? 1u : 2u);
    EXPECT_EQ(k[2].first.file, code ? 2u : 1u);  // f3 is the third file folded
    const auto files = fold.take_files();
    EXPECT_EQ(files.at(0), fs::path("f0"));
    EXPECT_EQ(files.at(k[2].first.file), fs::path(code ? "f3" : "f1"));
  }

  // Without places the fold stops taking pieces once every keyword is found at a file's end.
  const std::vector<std::string_view> two{"abcd", "yyzz"};
  const KeywordSet found_early(two);
  ScanFold fold(found_early, false, false, nullptr);
  const SegmentContext context{found_early, 3};
  for (std::size_t i = given.size(); i-- > 0;) {
    ScanPiece piece;
    piece.end = given[i].text.empty();
    piece.dropped = given[i].dropped;
    if (!piece.end) piece.text = summarise_segment(given[i].text, context);
    fold.deposit(i, std::move(piece));
  }
  EXPECT_TRUE(fold.all_found());
  EXPECT_EQ(fold.folded(), 4u);  // f1's end decided it
}

// Case counts; the test stops at the first zero byte; blanks inside keywords are dropped.
TEST(ScannedContains, CaseZeroByteAndBlankFreeKeywords) {
  const std::vector<std::string_view> keywords{
      "eval(", "eval (", "class ", " extends ", "simplexml_ load_ string",
      "xml",   "Class",  "</body"};
  const std::string text = bytes("classFooextendsBarsimplexml_load_stringeval($x)\0</body");
  const KeywordSet set(keywords);
  const auto scanned_contains = [&](std::string_view keyword) {
    return text_contains(text, set, keyword);
  };
  EXPECT_TRUE(scanned_contains("eval("));
  EXPECT_TRUE(scanned_contains("eval ("));
  EXPECT_TRUE(scanned_contains("class "));
  EXPECT_TRUE(scanned_contains(" extends "));
  EXPECT_TRUE(scanned_contains("simplexml_ load_ string"));
  EXPECT_TRUE(scanned_contains("xml"));
  EXPECT_FALSE(scanned_contains("Class"));
  EXPECT_FALSE(scanned_contains("</body"));
}

// The one-pass scan against the direct search, on random texts over a small alphabet (so
// that keywords overlap, nest and straddle the middle of the text) with the odd zero byte.
TEST(KeywordSet, AnswersLikeTheDirectSearch) {
  std::mt19937 random(2012);
  const std::string_view alphabet("abc (\0", 6);
  auto random_text = [&](std::size_t max_size, std::size_t letters) {
    std::string text(random() % max_size, ' ');
    for (char& c : text) c = alphabet[random() % letters];
    return text;
  };
  for (int round = 0; round < 300; ++round) {
    const std::size_t letters = round % 3 == 0 ? 6 : 5;  // every third text may hold zeros
    const std::string text = without_spaces(random_text(round % 10 == 0 ? 3 : 1400, letters));
    std::vector<std::string> keywords;
    for (int k = 0; k < 12; ++k) keywords.push_back(random_text(7, 5));
    const std::vector<std::string_view> views(keywords.begin(), keywords.end());
    const KeywordSet set(views);
    for (const std::string& keyword : keywords) {
      ASSERT_EQ(text_contains(text, set, keyword), direct_contains(text, keyword))
          << "round " << round << " keyword '" << keyword << "'";
    }
  }
}

// One keyword set made ready once serves scan after scan: what one text held never shows
// in the answers for the next (as when a window runs training mode again and again).
TEST(KeywordSet, OneKeywordSetServesManyTexts) {
  const std::vector<std::string_view> keywords{"<?php", "class ", "echo", "#include", "ho"};
  const KeywordSet set(keywords);
  for (const std::string_view text : {"<?phpechoclassA", "#include<x>", "", "echo", "ho"}) {
    for (const std::string_view keyword : keywords) {
      EXPECT_EQ(text_contains(text, set, keyword), direct_contains(text, keyword))
          << "text '" << text << "' keyword '" << keyword << "'";
    }
  }
}

// A keyword right across the edges where the walks over the parts of a long text meet (a
// quarter, half and three quarters in), also when the whitespace of the source between its
// letters takes up most of a part.
TEST(KeywordSet, FindsAKeywordAcrossTheEdgesOfItsWalks) {
  const std::vector<std::string_view> keywords{"#include", "nowhere"};
  const KeywordSet set(keywords);
  for (const std::size_t edge : {250, 500, 750}) {
    for (std::size_t shift = 0; shift < 8; ++shift) {
      std::string text(1000, '.');
      text.replace(edge - shift, 7, "#include");
      std::vector<bool> found(set.size(), false);
      set.find_all(text, found);
      EXPECT_EQ(found, (std::vector<bool>{true, false})) << edge << " " << shift;

      std::string spaced(4000, '.');
      spaced.replace(edge * 4 - 100 - shift, 4 + 200 + 4, "#inc" + std::string(200, ' ') + "lude");
      found.assign(set.size(), false);
      set.find_all(spaced, found);
      EXPECT_EQ(found, (std::vector<bool>{true, false})) << edge << " " << shift;
    }
  }
}

// Matched in code, a walk reads only the blocks of a text where some byte may count (the
// filter's skim): it counts what the walk over the whole text keeps, for texts short and long
// (a hundred thousand bytes and more), classes that change anywhere (blocks of comments,
// literals and markup text dropped, with or without words, whitespace among them),
// occurrences over the seam of two kept blocks that were not neighbours (the walk meets them
// there, the text does not hold them), and a text that holds a suppression marker's word as
// it is (walked whole).
TEST(KeywordSet, CountsInCodeOnlyWhereClassesAllowAsTheWholeWalkDoes) {
  // What the walk over the whole text keeps: the same check, no skim.
  struct Whole final : OccurrenceFilter {
    explicit Whole(const CodeFilter& filter) : filter(filter) {}
    bool keep(std::size_t keyword, std::size_t last) const override {
      return filter.keep(keyword, last);
    }
    const CodeFilter& filter;
  };
  std::mt19937 random(27);
  const std::vector<std::string_view> words{"ab",  "abcd", "cab", "b c", "<ab",
                                            "#ab", "a(",   "dd",  "z-y"};
  const KeywordSet set(words);
  const std::size_t marker = set.index_of("z-y");
  std::vector<KeywordKind> kinds(set.size(), KeywordKind::word);
  kinds[set.index_of("<ab")] = KeywordKind::tag;
  kinds[set.index_of("#ab")] = KeywordKind::directive;
  kinds[set.index_of("abcd")] = KeywordKind::prefix;
  const std::string_view alphabet = "abcd( <#\n\tz-y";
  for (int round = 0; round < random_rounds(400); ++round) {
    // Some long enough that each of the walk's six parts takes several stretches of blocks.
    std::string text(round % 7 == 0    ? random() % 40
                     : round % 40 == 1 ? 120000 + random() % 30000
                                       : random() % 3000,
                     ' ');
    std::vector<CodeClass> classes(text.size());
    for (std::size_t i = 0; i < text.size();) {
      // Runs of one class, some all blank, some long enough to drop whole blocks.
      const std::size_t run = std::min<std::size_t>(text.size() - i, 1 + random() % 70);
      const auto c = static_cast<CodeClass>(random() % 8);
      const bool blank = random() % 5 == 0;
      for (std::size_t j = i; j < i + run; ++j) {
        text[j] = blank ? ' ' : alphabet[random() % (alphabet.size() - (round % 3 == 0 ? 0 : 3))];
        classes[j] = c;
      }
      i += run;
    }
    const CodeView view{text, classes.data(), {-1, -1}, -1};
    const CodeFilter skimming(set, kinds, view, marker);
    const Whole whole(skimming);
    std::vector<std::uint64_t> counts(set.size(), 0), expected(set.size(), 0);
    std::vector<std::size_t> first(set.size(), std::string_view::npos), expected_first = first;
    set.count_all(text, counts, first, &skimming);
    set.count_all(text, expected, expected_first, &whole);
    const bool raw_marker = text.find("z-y") != std::string::npos;
    EXPECT_EQ(skimming.skim(text).has_value(), !raw_marker) << "round " << round;
    for (std::size_t k = 0; k < set.size(); ++k) {
      if (k == marker && !raw_marker) {
        // The marker's word split by blanks is of no use (a marker is read as it stands):
        // a skim may leave out where it lies in a comment.
        EXPECT_LE(counts[k], expected[k]) << "round " << round;
        continue;
      }
      EXPECT_EQ(counts[k], expected[k]) << "round " << round << " keyword " << set.keyword(k);
      EXPECT_EQ(first[k], expected_first[k]) << "round " << round << " keyword " << set.keyword(k);
    }
  }
}

}  // namespace
}  // namespace orven::testing
