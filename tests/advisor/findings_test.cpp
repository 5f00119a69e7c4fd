// Where the findings point: keyword counts and first places tracked by the scan in its one
// pass, against a plain reference (all the input searched as one string, offsets mapped back
// to file, line and column); and the findings against the report's blocks.
#include "advisor/findings.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "advisor/code_lexers.h"
#include "advisor/code_match.h"
#include "advisor/display_width.h"
#include "advisor/document_scan.h"
#include "advisor/keyword_kinds.h"
#include "advisor/keyword_scan.h"
#include "advisor/languages.h"
#include "advisor/places.h"
#include "advisor/rule_index.h"
#include "advisor/suppression.h"
#include "texts/report.h"
#include "training_fixture.h"

namespace orven::testing {
namespace {

namespace fs = std::filesystem;

bool is_space(char c) {
  return std::string_view(" \t\n\v\f\r").find(c) != std::string_view::npos;
}

// Decodes UTF-8 the long way: the number of UTF-16 code units of text, or -1 when it is not
// valid UTF-8 (overlong forms, surrogates, code points above U+10FFFF, cut characters).
long utf16_length(std::string_view text) {
  long units = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t n = b < 0x80 ? 1 : b >> 5 == 6 ? 2 : b >> 4 == 14 ? 3 : b >> 3 == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return -1;
    char32_t c = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t j = 1; j < n; ++j) {
      const auto t = static_cast<unsigned char>(text[i + j]);
      if (t >> 6 != 2) return -1;
      c = c << 6 | (t & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
    units += c >= 0x10000 ? 2 : 1;
    i += n;
  }
  return units;
}

struct Place {
  std::size_t file = 0;
  std::uint64_t line = 0, column = 0;
  bool operator==(const Place&) const = default;
};

// The GNU display column (from 1) of byte `at` of a line's text: tab stops every 8, each
// character as wide as the table says when the file is UTF-8, each byte one column otherwise.
std::uint64_t display_in(std::string_view line, std::size_t at, bool utf8) {
  std::uint64_t column = 0;
  for (std::size_t i = 0; i < at;) {
    if (line[i] == '\t') {
      column = (column / 8 + 1) * 8;
      ++i;
      continue;
    }
    const auto b = static_cast<unsigned char>(line[i]);
    const std::size_t n = !utf8 || b < 0x80 ? 1 : b >> 5 == 6 ? 2 : b >> 4 == 14 ? 3 : 4;
    char32_t c = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t j = 1; j < n; ++j) c = c << 6 | (line[i + j] & 0x3F);
    column += utf8 ? display_width(c) : 1;
    i += n;
  }
  return column + 1;
}
std::ostream& operator<<(std::ostream& out, const Place& p) {
  return out << "file " << p.file << " line " << p.line << " column " << p.column;
}

// The place of byte `at` of a file's searched text, from 1: lines split at CR LF, LF and CR.
Place place_in(std::size_t file, std::string_view text, std::size_t at) {
  Place p{file, 1, 0};
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < at; ++i) {
    if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) ++p.line;
    if (text[i] == '\r' || text[i] == '\n') line_start = i + 1;
  }
  const bool utf8 = utf16_length(text) >= 0;
  const std::string_view before = text.substr(line_start, at - line_start);
  p.column = (utf8 ? static_cast<std::uint64_t>(utf16_length(before)) : before.size()) + 1;
  return p;
}

// One thread or eight, by round; chunks of the default size, long enough for the
// sixteen-byte blocks too, short, and shorter than most lines, where files share buffers.
ScanSettings random_settings(int round, std::mt19937& random) {
  ScanSettings settings;
  settings.threads = round % 2 == 0 ? 1 : 8;
  settings.chunk_bytes = round % 10 == 0  ? 0
                         : round % 3 == 1 ? 64 + random() % 2000
                         : round % 3 == 0 ? 1 + random() % 300
                                          : 1 + random() % 50;
  return settings;
}

struct Expected {
  std::uint64_t count = 0;
  Place first, last;
  std::uint64_t display = 0;  // of the first byte of the first occurrence
};

// The reference: the files' searched texts one after another, whitespace taken out, with
// every byte remembered by file and offset.
Expected reference(const std::vector<std::string>& files, std::string_view keyword) {
  std::string joined;
  std::vector<std::pair<std::size_t, std::size_t>> origin;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const std::string_view text = std::string_view(files[f]).substr(0, files[f].find('\0'));
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (is_space(text[i])) continue;
      joined += text[i];
      origin.emplace_back(f, i);
    }
  }
  Expected e;
  for (std::size_t at = joined.find(keyword); at != std::string::npos;
       at = joined.find(keyword, at + 1)) {
    if (e.count++ != 0) continue;
    const auto place = [&](std::size_t i) {
      const auto [f, offset] = origin[i];
      return place_in(f, std::string_view(files[f]).substr(0, files[f].find('\0')), offset);
    };
    e.first = place(at);
    e.last = place(at + keyword.size() - 1);
    const auto [f, offset] = origin[at];
    const std::string_view text = std::string_view(files[f]).substr(0, files[f].find('\0'));
    std::size_t line_start = offset;
    while (line_start > 0 && text[line_start - 1] != '\n' && text[line_start - 1] != '\r') {
      --line_start;
    }
    e.display = display_in(text.substr(line_start), offset - line_start, utf16_length(text) >= 0);
  }
  return e;
}

class Places : public TrainingTest {
 protected:
  // Scans files f0.txt … with places: per keyword, the count and the first place.
  std::vector<Expected> scan(const std::vector<std::string>& files,
                             const std::vector<std::string>& keywords, ScanSettings settings) {
    std::vector<fs::path> paths;
    for (std::size_t i = 0; i < files.size(); ++i) {
      paths.push_back("f" + std::to_string(i) + ".txt");
      write_bytes(paths.back(), files[i]);
    }
    const std::vector<std::string_view> views(keywords.begin(), keywords.end());
    const KeywordSet set(views);
    settings.places = true;
    const ScanResult found = scan_sources(paths, set, settings);
    EXPECT_EQ(found.outcome.status, ModeOutcome::Status::ok);
    std::vector<Expected> out;
    const auto& places = found.places;
    if (!places) return out;
    const auto index = [&](const fs::path& file) {
      return static_cast<std::size_t>(std::find(paths.begin(), paths.end(), file) - paths.begin());
    };
    for (const std::string& keyword : keywords) {
      const KeywordPlaces& p = places->keywords[set.index_of(keyword)];
      Expected e{p.count, {}, {}, 0};
      if (p.count != 0) {
        e.first = {index(places->files.at(p.first.file)), p.first.line + 1, p.first.bytes + 1};
        e.last = {index(places->files.at(p.last.file)), p.last.line + 1, p.last.bytes + 1};
        e.display = p.first.display + 1;
      }
      out.push_back(e);
    }
    return out;
  }

  // The scan's counts and first places are the reference's, keyword for keyword.
  void expect_as_reference(const std::vector<std::string>& files,
                           const std::vector<std::string>& keywords, const ScanSettings& settings,
                           const std::string& trace) {
    const std::vector<Expected> got = scan(files, keywords, settings);
    ASSERT_EQ(got.size(), keywords.size());
    for (std::size_t k = 0; k < keywords.size(); ++k) {
      SCOPED_TRACE(trace + " keyword " + keywords[k]);
      const Expected want = reference(files, keywords[k]);
      ASSERT_EQ(got[k].count, want.count);
      if (want.count == 0) continue;
      EXPECT_EQ(got[k].first, want.first);
      EXPECT_EQ(got[k].last, want.last);
      EXPECT_EQ(got[k].display, want.display);
    }
  }
};

// Random sources over a few letters, blanks (long runs too), every kind of line break, zero
// bytes, Cyrillic in UTF-8 and in windows-1251, four-byte characters and cut characters, split
// into files (empty ones too) at random, read in chunks of random size by 1 and by 8 threads:
// every keyword's count and the first and last byte of its first occurrence are the
// reference's.
TEST_F(Places, CountsAndFirstPlacesAsInOneString) {
  std::mt19937 random(17);
  const std::vector<std::string> pieces{
      "a",  "b",       "c",   "ab",   " ",    "\n", "\r\n", "\r",
      "\t", "ж",       "😀",   "\xE6", "\xD0", "\0", "\v",   " \n" + std::string(70, ' '),
      "中", "e\u0301", "\t\t"};
  for (int round = 0; round < random_rounds(500); ++round) {
    const bool cp1251 = round % 4 == 1;  // windows-1251 bytes: files are not UTF-8
    const bool zeros = round % 5 == 2;
    std::string text;
    const std::size_t size = random() % (round % 9 == 0 ? 4000 : 200);
    while (text.size() < size) {
      std::size_t p = random() % pieces.size();
      if ((p == 11 || p == 12) && !cp1251) p = 0;
      if (p == 13 && !zeros) p = 1;
      text += pieces[p] == std::string_view("\0") ? std::string(1, '\0') : pieces[p];
    }
    const std::vector<std::string> files = split_at_random(text, random);
    std::vector<std::string> keywords{"zz", "a", "abc"};
    for (int k = 0; k < 8; ++k) {
      std::string keyword(1 + random() % 5, 'a');
      for (char& c : keyword) c = "abc"[random() % 3];
      keywords.push_back(keyword);
    }
    std::sort(keywords.begin(), keywords.end());
    keywords.erase(std::unique(keywords.begin(), keywords.end()), keywords.end());
    const ScanSettings settings = random_settings(round, random);
    expect_as_reference(files, keywords, settings, "round " + std::to_string(round));
  }
}

// Many small files that buffers hold together, read by one thread, so that a buffer is
// scanned once the ones before are folded (or a batch of its own files): a file that holds
// only keywords placed before keeps its counts only, yet a first occurrence that runs over
// its edges (into a neighbour in the buffer, out of the last file of a buffer, over a file
// of one letter or of blanks) is placed as in one string.
TEST_F(Places, FirstPlacesOverTheEdgesOfSmallFiles) {
  std::mt19937 random(23);
  const std::vector<std::string> pieces{"x", "x", "x", "a", "b", "c", "d", " ", "\n", "ж"};
  const std::vector<std::string> keywords{"abcd", "bad", "cc", "dcba", "x", "zz"};
  for (int round = 0; round < random_rounds(40); ++round) {
    std::vector<std::string> files(200);
    for (std::string& file : files) {
      for (std::size_t n = random() % 4; n > 0; --n) file += pieces[random() % pieces.size()];
    }
    ScanSettings settings;
    settings.threads = 1;
    // Now and then one buffer for all of them, which the fold takes a batch at a time.
    settings.chunk_bytes = round % 4 == 0 ? 0 : 256 + random() % 1024;
    expect_as_reference(files, keywords, settings, "round " + std::to_string(round));
  }
}

// Sources from a small grammar per language (C, PHP with its page around it, JavaScript), each
// keyword of the rules and gates planted where the grammar knows whether it counts in code:
// in code, in each kind of comment and literal, in markup text, inside a longer identifier,
// split by a blank. The streamed scan, in files cut into chunks of random size, counts in
// code just the planted occurrences that count, for the section whose files hold them, and
// places the first; as text it is the reference of one string, as before.
class Grammar {
 public:
  struct File {
    std::string name;
    std::string text;
    Section section;
  };
  struct Counted {
    std::uint64_t count = 0;
    std::size_t file = 0, offset = 0;  // of the first
  };

  Grammar() {
    // Keywords of both sections, without those inside another one (for, form and for( share
    // bytes), so that one planted is one occurrence.
    std::vector<std::pair<std::string, KeywordKind>> all;
    const auto add = [&](std::string_view keyword, Section section) {
      const std::string k = without_whitespace(keyword);
      if (k.empty()) return;
      (section == Section::web ? web_ : cpp_).push_back(k);
      all.emplace_back(k, kind_of(keyword));
    };
    for (const RuleRef& ref : all_rules()) {
      for (const std::string_view keyword : ref.rule->keywords) add(keyword, ref.section);
    }
    for (const std::string_view keyword : texts::kWebGate) add(keyword, Section::web);
    for (const std::string_view keyword : texts::kCppGate) add(keyword, Section::cpp);
    for (const auto& [k, kind] : all) {
      const bool shares = std::any_of(all.begin(), all.end(), [&](const auto& other) {
        return other.first != k && (other.first.find(k) != std::string::npos ||
                                    k.find(other.first) != std::string::npos);
      });
      if (!shares) kinds_.emplace(k, kind);
    }
    for (auto* list : {&web_, &cpp_}) {
      std::erase_if(*list, [&](const std::string& k) { return !kinds_.contains(k); });
      std::sort(list->begin(), list->end());
      list->erase(std::unique(list->begin(), list->end()), list->end());
    }
    for (const auto& [k, kind] : kinds_) keywords_.push_back(k);
  }

  const std::vector<std::string>& keywords() const { return keywords_; }
  // What counts in code, by keyword, where the section's rules count it.
  const std::map<std::string, Counted>& counted(Section section) const {
    return counted_[section == Section::web ? 0 : 1];
  }

  std::vector<File> make(std::mt19937& random) {
    counted_[0].clear();
    counted_[1].clear();
    std::vector<File> files;
    for (std::size_t n = 1 + random() % 4; n > 0; --n) {
      const int language = static_cast<int>(random() % 3);
      File f{"f" + std::to_string(files.size()) +
                 (language == 0   ? ".c"
                  : language == 1 ? ".php"
                                  : ".js"),
             "", language == 0 ? Section::cpp : Section::web};
      file_ = files.size();
      text_ = &f.text;
      if (language == 1) open_php(true);
      for (std::size_t plants = random() % 12; plants > 0; --plants) {
        const std::vector<std::string>& list = language == 0 ? cpp_ : web_;
        plant(list[random() % list.size()], language, random);
        *text_ += filler[random() % std::size(filler)];
      }
      files.push_back(std::move(f));
    }
    return files;
  }

 private:
  static constexpr const char* filler[] = {" zq;\n", "\n", " zq = zq + 1; ", "\r\n\t", ";"};

  void counts(const std::string& keyword, std::size_t offset) {
    Counted& c = counted_[section_ == Section::web ? 0 : 1][keyword];
    if (c.count++ == 0) c = {1, file_, offset};
  }
  // Text that the keyword counts in, at its first byte of `keyword` in `text`.
  void put(std::string_view text, const std::string& keyword, bool counted) {
    // "# include": the keyword from its "#".
    const std::size_t at =
        text.find(keyword) != std::string_view::npos ? text.find(keyword) : text.find('#');
    if (counted) counts(keyword, text_->size() + at);
    *text_ += text;
  }
  void open_php(bool first) {
    section_ = Section::web;
    if (kinds_.contains("<?php")) counts("<?php", text_->size());
    *text_ += first ? "<?php\n" : "<?php ";
  }

  void plant(const std::string& k, int language, std::mt19937& random) {
    section_ = language == 0 ? Section::cpp : Section::web;
    const KeywordKind kind = kinds_.at(k);
    const auto word_at = [&](std::size_t i) {
      return is_word_byte(static_cast<unsigned char>(k[i]));
    };
    switch (kind) {
      case KeywordKind::directive: {
        const std::size_t where = random() % 4;  // a line of its own (two ways) or not
        return put(std::vector<std::string>{"\n#include \"zq.h\"\n", "\n  # include <zq>\n",
                                            "/* #include */", "\"#include\""}[where],
                   k, where < 2);
      }
      case KeywordKind::header: {
        const bool code = random() % 2 == 0;
        if (code && kinds_.contains("#include")) counts("#include", text_->size() + 1);
        return put(code ? "\n#include <windows.h>\n" : "// <windows.h>\n", k, code);
      }
      case KeywordKind::tag:
      case KeywordKind::tag_name: {
        if (language != 1) return;  // a page's, in a PHP file outside its tags
        *text_ += "?>";
        const int where = static_cast<int>(random() % 3);
        const std::string tag = kind == KeywordKind::tag ? "</body>" : "<" + k + " zq=\"zq\">";
        // Not a tag: in a comment, in an attribute's value, as text (a name alone).
        const std::string other = where == 1                 ? "<!-- " + k + " -->"
                                  : kind == KeywordKind::tag ? "<p title=\"" + k + "\">"
                                                             : " " + k + " zq ";
        put(where == 0 ? tag : other, k, where == 0);
        return open_php(false);
      }
      case KeywordKind::open_tag:
        if (language == 1) {
          *text_ += "?>zq";
          open_php(false);
        }
        return;
      default:
        break;
    }
    std::vector<std::string> places{"// " + k + "\n", "/* " + k + " */", "'" + k + "'"};
    if (kind != KeywordKind::variable || language != 1) places.push_back("\"" + k + "\"");
    if (language == 0) places.push_back("R\"zq(" + k + ")zq\"");
    if (language == 1) {
      places.push_back("# " + k + "\n");
      places.push_back("<<<'ZQ'\n" + k + "\nZQ;\n");
      if (kind != KeywordKind::variable) places.push_back("<<<ZQ\n" + k + "\nZQ;\n");
    }
    if (language == 2) {
      places.push_back("`" + k + "`");
      places.push_back(" zq = /" + k + "/;");
    }
    if (kind == KeywordKind::prefix && word_at(0)) places.push_back(" zq" + k);
    if ((kind == KeywordKind::word || kind == KeywordKind::suffix ||
         kind == KeywordKind::variable) &&
        word_at(k.size() - 1)) {
      places.push_back(" " + k + "zq");
    }
    if (kind == KeywordKind::word && word_at(0)) places.push_back(" zq" + k);
    for (std::size_t i = 1; i < k.size(); ++i) {
      if (word_at(i - 1) && word_at(i)) {
        places.push_back(" " + k.substr(0, i) + "  " + k.substr(i) + " ");
        break;
      }
    }
    // In code half the time.
    if (random() % 2 == 0) return put(" " + k + " ", k, true);
    put(places[random() % places.size()], k, false);
  }

  std::vector<std::string> web_, cpp_, keywords_;
  std::map<std::string, KeywordKind> kinds_;
  std::map<std::string, Counted> counted_[2];
  std::string* text_ = nullptr;
  std::size_t file_ = 0;
  Section section_ = Section::web;
};

TEST_F(Places, InCodeWhatTheGrammarPlantedAndAsTextTheOneString) {
  std::mt19937 random(29);
  Grammar grammar;
  const std::vector<std::string>& keywords = grammar.keywords();
  ASSERT_GT(keywords.size(), 40u);
  const std::vector<std::string_view> views(keywords.begin(), keywords.end());
  const KeywordSet set(views);
  for (int round = 0; round < random_rounds(500); ++round) {
    const std::vector<Grammar::File> files = grammar.make(random);
    std::vector<fs::path> paths;
    std::vector<std::string> texts;
    for (const Grammar::File& f : files) {
      paths.push_back(f.name);
      texts.push_back(f.text);
      write_bytes(f.name, f.text);
    }
    ScanSettings settings;
    settings.threads = round % 2 == 0 ? 1 : 8;
    settings.chunk_bytes = round % 10 == 0 ? 0 : 1 + random() % (round % 3 == 0 ? 300 : 3000);
    std::string trace = "round " + std::to_string(round);
    for (const Grammar::File& f : files) trace += "\n" + f.name + ": " + f.text;
    expect_as_reference(texts, keywords, settings, trace);  // as text (f0.txt …)

    settings.match = MatchMode::code;
    settings.suppressions = round % 3 == 1;  // no markers: segments cut after line breaks
    const ScanResult found = scan_sources(paths, set, settings);
    ASSERT_EQ(found.outcome.status, ModeOutcome::Status::ok);
    ASSERT_TRUE(found.places);
    for (const Section section : {Section::web, Section::cpp}) {
      for (std::size_t k = 0; k < keywords.size(); ++k) {
        SCOPED_TRACE(trace + " keyword " + keywords[k] +
                     (section == Section::web ? " web" : " C++"));
        const auto it = grammar.counted(section).find(keywords[k]);
        const Grammar::Counted want =
            it == grammar.counted(section).end() ? Grammar::Counted{} : it->second;
        const KeywordPlaces& got =
            found.places->keywords[found_slot(found, set, section, set.index_of(keywords[k]))];
        ASSERT_EQ(got.count, want.count);
        EXPECT_EQ(occurs_for(found, set, section, keywords[k]), want.count != 0);
        if (want.count == 0) continue;
        const Place at = place_in(want.file, texts[want.file], want.offset);
        EXPECT_EQ(found.places->files.at(got.first.file), paths[want.file]);
        EXPECT_EQ((Place{want.file, got.first.line + 1, got.first.bytes + 1}), at);
      }
    }
  }
}

// Display widths as the table gives them, and display columns of a line cut anywhere (tabs,
// wide and combining characters) put together piece by piece as in one walk.
TEST(DisplayColumns, WidthsAndSpansPutTogether) {
  EXPECT_EQ(display_width(U'a'), 1u);
  EXPECT_EQ(display_width(U'ж'), 1u);
  EXPECT_EQ(display_width(U'中'), 2u);
  EXPECT_EQ(display_width(U'\U0001F600'), 2u);
  EXPECT_EQ(display_width(U'\u0301'), 0u);
  EXPECT_EQ(display_width(U'\u200B'), 0u);
  std::mt19937 random(31);
  const std::vector<std::string> pieces{"a", "\t", "中", "ж", "e\u0301", "bcdefgh"};
  for (int round = 0; round < 2000; ++round) {
    std::string line;
    while (line.size() < random() % 60) line += pieces[random() % pieces.size()];
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
    DisplaySpan whole_bytes, whole_chars;
    add_display(whole_bytes, whole_chars, bytes, 0, line.size(), line.size());
    ASSERT_EQ(whole_chars.apply(0) + 1, display_in(line, line.size(), true)) << line;
    ASSERT_EQ(whole_bytes.apply(0) + 1, display_in(line, line.size(), false)) << line;
    // Cut between characters, the spans put one after the other give the whole line's.
    std::size_t cut = line.empty() ? 0 : random() % line.size();
    while (cut > 0 && (bytes[cut] & 0xC0) == 0x80) --cut;
    DisplaySpan a_bytes, a_chars, b_bytes, b_chars;
    add_display(a_bytes, a_chars, bytes, 0, cut, line.size());
    add_display(b_bytes, b_chars, bytes, cut, line.size(), line.size());
    const std::uint64_t start = random() % 20;
    EXPECT_EQ(a_chars.then(b_chars).apply(start), whole_chars.apply(start)) << line;
    EXPECT_EQ(a_bytes.then(b_bytes).apply(start), whole_bytes.apply(start)) << line;
  }
}

// UTF-8 validity, of a whole text and of its pieces put together, as the long decoding
// tells it: random texts of ASCII runs, characters of every length at the edges of their
// ranges, and the bytes and sequences that are never valid, cut anywhere.
TEST(Utf8Check, AsTheLongDecoding) {
  std::mt19937 random(29);
  const std::vector<std::string> pieces{std::string(40, 'a'),
                                        "b\n",
                                        "\x7F",
                                        "\xC2\x80",
                                        "\xDF\xBF",
                                        "ж",
                                        "\xE0\xA0\x80",
                                        "\xED\x9F\xBF",
                                        "\xEE\x80\x80",
                                        "\xEF\xBF\xBF",
                                        "😀",
                                        "\xF4\x8F\xBF\xBF",
                                        "\xC0\x80",
                                        "\xC1\xBF",
                                        "\xE0\x9F\xBF",
                                        "\xED\xA0\x80",
                                        "\xF0\x8F\xBF\xBF",
                                        "\xF4\x90\x80\x80",
                                        "\xF5\x80\x80\x80",
                                        "\xF5",
                                        "\xFF",
                                        "\x80",
                                        "\xE2\x82",
                                        "\xF0\x9F\x98",
                                        "\xD0"};
  constexpr std::size_t kValid = 12;   // the pieces before are valid, those after are not
  constexpr std::size_t kTwoByte = 6;  // the first ones hold no character longer than two bytes
  for (int round = 0; round < 4000; ++round) {
    std::string text;
    // Now and then a text long enough for several runs of blocks.
    const std::size_t size = round % 50 == 1 ? 20000 + random() % 200 : random() % 200;
    // Valid pieces, and in two rounds of three one of the others among them; in every other
    // round only ASCII and two-byte characters around it.
    const std::size_t valid_pieces = round % 2 == 0 ? kValid : kTwoByte;
    const std::size_t wrong_at = round % 3 == 0 ? size + 1 : random() % (size + 1);
    while (text.size() < size) {
      const bool wrong = text.size() <= wrong_at && text.size() + 40 > wrong_at;
      text += wrong ? pieces[kValid + random() % (pieces.size() - kValid)]
                    : pieces[random() % valid_pieces];
    }
    const bool valid = utf16_length(text) >= 0;
    SCOPED_TRACE("round " + std::to_string(round));
    EXPECT_EQ(Utf8Check(text).valid(), valid);
    const std::size_t a = text.empty() ? 0 : random() % text.size();
    const std::size_t b = a + (text.size() == a ? 0 : random() % (text.size() - a));
    Utf8Check joined(std::string_view(text).substr(0, a));
    joined.then(Utf8Check(std::string_view(text).substr(a, b - a)));
    joined.then(Utf8Check(std::string_view(text).substr(b)));
    EXPECT_EQ(joined.valid(), valid);
  }
}

// Lines of every break kind, a CR LF split over two chunks or two files, a line over many
// chunks, a keyword over blanks, a line break and the edge of two files.
TEST_F(Places, LinesColumnsAndEdges) {
  const std::vector<std::string> files{"x\r\n\r\nyy ab\rc\n",
                                       "\n" + std::string(300, 'y') + "жжxb\r", "\nc"};
  for (const std::size_t chunk : {1, 2, 3, 7, 64}) {
    ScanSettings settings;
    settings.threads = 2;
    settings.chunk_bytes = chunk;
    const std::vector<Expected> got = scan(files, {"abc", "yab", "xbc", "cy"}, settings);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].count, 1u);
    EXPECT_EQ(got[0].first, (Place{0, 3, 4}));
    EXPECT_EQ(got[0].last, (Place{0, 4, 1}));
    EXPECT_EQ(got[1].first, (Place{0, 3, 2}));
    EXPECT_EQ(got[2].first, (Place{1, 2, 303}));  // after two Cyrillic letters of 2 bytes
    EXPECT_EQ(got[2].last, (Place{2, 2, 1}));     // the CR LF across the files is one break
    EXPECT_EQ(got[3].first, (Place{0, 4, 1}));
    EXPECT_EQ(got[3].last, (Place{1, 2, 1}));
  }
}

// Markers in random sources of a few rules' keywords and pieces of them, on lines of every
// break and lines longer than a chunk, in several files read in chunks of random size by 1
// and by 8 threads: each finding counts and places the occurrences that the document scan of
// each file alone keeps, through the first of its keywords with any; with none kept it is
// suppressed, its hit as without markers. The files begin with a byte of no keyword, so that
// no occurrence runs from one into the next (the document scan sees one file at a time).
TEST_F(Places, MarkersLeaveWhatTheDocumentScanKeeps) {
  std::mt19937 random(43);
  const std::vector<std::string> code{
      "fopen", "fo", "pen",  "while", "for(", "for",  " (",
      "$_GET", "$_", "POST", "if",    "itoa", "atoi", "sprintf",
      "x",     "ж",  ";",    "//",    " ",    "\t",   std::string(40, ' ')};
  const std::vector<std::string> breaks{"\n", "\r\n", "\r"};
  const std::vector<std::string> ids{"W01", "W02", "W06", "W10", "W16", "C02", "C03",
                                     "C04", "C37", "C40", "all", "W99", "x"};
  const auto marker = [&] {
    const std::size_t scope = random() % 10;
    std::string m = scope < 5   ? "orven-disable-line"
                    : scope < 9 ? "orven-disable-next-line"
                                : "orven-disable-file";
    m += random() % 10 == 0 ? "" : random() % 3 == 0 ? "\t " : " ";
    for (std::size_t n = 1 + random() % 3; n > 0; --n) {
      m += ids[random() % ids.size()];
      if (n > 1) m += random() % 2 == 0 ? "," : " , ";
    }
    return m;
  };
  for (int round = 0; round < random_rounds(400); ++round) {
    std::vector<std::string> files(1 + random() % 3);
    for (std::string& file : files) {
      file = "~";
      for (std::size_t lines = random() % 12; lines > 0; --lines) {
        const std::size_t length = random() % 7 == 0 ? 60 + random() % 200 : random() % 8;
        const std::size_t marked = random() % 3 == 0 ? random() % (length + 1) : length + 1;
        for (std::size_t i = 0; i <= length; ++i) {
          if (i == marked) file += marker();
          if (i < length) file += code[random() % code.size()];
        }
        if (lines > 1 || random() % 2 == 0) file += breaks[random() % breaks.size()];
      }
      if (random() % 15 == 0) file += std::string(1, '\0') + "fopen";
    }
    // Both sections open from a file of their gates, wherever it stands among the others.
    const std::size_t gates = random() % (files.size() + 1);
    files.insert(files.begin() + static_cast<std::ptrdiff_t>(gates), "~<?php ~#include");
    std::vector<fs::path> paths;
    for (std::size_t i = 0; i < files.size(); ++i) {
      paths.push_back("f" + std::to_string(i) + ".txt");
      write_bytes(paths.back(), files[i]);
    }
    ScanSettings settings = random_settings(round, random);
    workspace_ = create_workspace();
    const Findings plain = find_advice(*workspace_, paths, settings);
    settings.suppressions = true;
    workspace_ = create_workspace();
    const Findings marked = find_advice(*workspace_, paths, settings);
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_EQ(marked.outcome.status, ModeOutcome::Status::ok);
    ASSERT_EQ(marked.findings.size(), plain.findings.size());

    // What the document scan keeps, by rule: (file, begin, end, the keyword without blanks).
    struct Kept {
      std::size_t file, begin, end;
      std::string keyword;
    };
    std::map<std::string, std::vector<Kept>> kept;
    std::vector<std::string> texts;
    for (std::size_t f = 0; f < files.size(); ++f) {
      texts.push_back(files[f].substr(0, files[f].find('\0')));
      // The gates after the file's text, on a line of their own, open both sections.
      const std::string document = texts[f] + "\n~<?php ~#include";
      for (const DocumentHit& h : document_hits(document, paths[f], 1 << 20)) {
        if (h.begin >= texts[f].size()) continue;
        kept[h.id].push_back(
            {f, h.begin, h.end, without_whitespace(texts[f].substr(h.begin, h.end - h.begin))});
      }
    }
    const auto place = [&](const SourcePlace& p) {
      const auto f = std::find(paths.begin(), paths.end(), p.file) - paths.begin();
      return Place{static_cast<std::size_t>(f), p.line, p.column};
    };
    for (std::size_t i = 0; i < marked.findings.size(); ++i) {
      const Finding& finding = marked.findings[i];
      SCOPED_TRACE(finding.id);
      ASSERT_EQ(finding.id, plain.findings[i].id);
      if (!plain.findings[i].hit) {
        EXPECT_FALSE(finding.suppressed);  // the file of the gates holds no marker
        continue;
      }
      ASSERT_TRUE(finding.hit);
      bool any = false;
      for (const std::string_view keyword : finding.rule->keywords) {
        std::vector<Kept> of_keyword;
        for (const Kept& k : kept[finding.id]) {
          if (!keyword.empty() && k.keyword == without_whitespace(keyword)) of_keyword.push_back(k);
        }
        if (of_keyword.empty()) continue;
        any = true;
        EXPECT_FALSE(finding.suppressed);
        EXPECT_EQ(finding.hit->keyword, keyword);
        EXPECT_EQ(finding.hit->count, of_keyword.size());
        const Kept& first = of_keyword.front();
        EXPECT_EQ(place(finding.hit->first), place_in(first.file, texts[first.file], first.begin));
        EXPECT_EQ(place(finding.hit->last), place_in(first.file, texts[first.file], first.end - 1));
        break;
      }
      if (any) continue;
      EXPECT_TRUE(finding.suppressed);
      EXPECT_EQ(finding.hit->keyword, plain.findings[i].hit->keyword);
      EXPECT_EQ(finding.hit->count, plain.findings[i].hit->count);
      EXPECT_EQ(place(finding.hit->first), place(plain.findings[i].hit->first));
    }
  }
}

// Matched in code, a marker far inside a long comment still turns off what follows it (the
// keyword walk passes over the comment, the marker is read all the same), in chunks of every
// size; the marker's word split by a blank is no marker.
TEST_F(Places, InCodeAMarkerFarInsideACommentStillCounts) {
  std::string words;
  for (int i = 0; i < 300; ++i) words += "lorem ipsum ";
  for (const bool split : {false, true}) {
    const std::string marker =
        split ? "orven- disable-next-line C04" : "orven-disable-next-line C04";
    write_bytes("a.c",
                "/* " + words + marker + " " + words + "*/\nint f(int x) { if (x) return 1; }\n");
    for (const std::size_t chunk : {0, 64, 700, 5000}) {
      ScanSettings settings;
      settings.match = MatchMode::code;
      settings.suppressions = true;
      settings.chunk_bytes = chunk;
      workspace_ = create_workspace();
      const std::vector<fs::path> paths{"a.c"};
      const Findings found = find_advice(*workspace_, paths, settings);
      ASSERT_EQ(found.outcome.status, ModeOutcome::Status::ok);
      const auto c04 = std::find_if(found.findings.begin(), found.findings.end(),
                                    [](const Finding& f) { return f.id == "C04"; });
      ASSERT_NE(c04, found.findings.end());
      ASSERT_TRUE(c04->hit) << chunk;
      EXPECT_EQ(c04->suppressed, !split) << "chunk " << chunk;
    }
  }
}

// What the document scan cannot show: an occurrence that runs from one file into the next
// belongs to the first (its -file marker, not the next file's first line after a -next-line
// marker on the last line); the rules without keywords are suppressed where every occurrence
// of their gate is turned off for them. Read in chunks of every size.
TEST_F(Places, MarkersOverTheEdgesOfFilesAndOnGates) {
  const auto findings = [&](const std::vector<std::pair<fs::path, std::string>>& files,
                            std::size_t chunk) {
    std::vector<fs::path> paths;
    for (const auto& [name, text] : files) {
      write_bytes(name, text);
      paths.push_back(name);
    }
    ScanSettings settings;
    settings.suppressions = true;
    settings.chunk_bytes = chunk;
    settings.threads = 2;
    workspace_ = create_workspace();
    std::map<std::string, Finding> by_id;
    for (Finding& f : find_advice(*workspace_, paths, settings).findings) by_id[f.id] = f;
    return by_id;
  };
  for (const std::size_t chunk : {1, 3, 16, 0}) {
    SCOPED_TRACE(chunk);
    auto f = findings(
        {{"a.txt", "<?php #include\n// orven-disable-file W01\nfo"}, {"b.txt", "pen(); fopen"}},
        chunk);
    ASSERT_TRUE(f["W01"].hit && f["C02"].hit);
    EXPECT_FALSE(f["W01"].suppressed);
    EXPECT_EQ(f["W01"].hit->count, 1u);
    EXPECT_EQ(f["W01"].hit->first.file, "b.txt");
    EXPECT_EQ(f["W01"].hit->first.column, 8u);
    EXPECT_EQ(f["C02"].hit->count, 2u);  // C02 is not turned off
    EXPECT_EQ(f["C02"].hit->first.file, "a.txt");
    EXPECT_EQ(f["C02"].hit->first.line, 3u);
    EXPECT_EQ(f["C02"].hit->last.file, "b.txt");

    f = findings({{"a.txt", "<?php fopen // orven-disable-next-line W01"}, {"b.txt", "fopen"}},
                 chunk);
    EXPECT_FALSE(f["W01"].suppressed);
    EXPECT_EQ(f["W01"].hit->count, 2u);

    // The web gate on a line that turns W25 off, and in a file that turns W25 and W26 off.
    f = findings({{"a.txt", "x\n<?php // orven-disable-line W25"},
                  {"b.txt", "</body>\n/* orven-disable-file W26,W25 */"}},
                 chunk);
    EXPECT_TRUE(f["W25"].suppressed);
    EXPECT_FALSE(f["W26"].suppressed);
    EXPECT_FALSE(f["W27"].suppressed);
    f = findings({{"a.txt", "<?php // orven-disable-line W25"}, {"b.txt", "</body>"}}, chunk);
    EXPECT_FALSE(f["W25"].suppressed);
    f = findings({{"a.txt", "<?php <?php\n// orven-disable-file all"}}, chunk);
    EXPECT_TRUE(f["W25"].suppressed && f["W28"].suppressed);
  }
}

// The findings are the report's blocks, rule for rule and in order; every finding with a
// keyword names one of its rule's keywords, found at least once.
TEST_F(Places, FindingsAreTheReportsBlocks) {
  const std::vector<std::string> sources{
      "<?php fopen(x); class A extends B { } $_POST if form input mail eval (1);",
      "#include <windows.h>\nint main() { MessageBox(0); while(1) for(;;) CreateFile(); }",
      "</body> #include <stdio.h> xml simplexml_load_string getElementById", "nothing here", ""};
  for (std::size_t i = 0; i < sources.size(); ++i) {
    SCOPED_TRACE(sources[i]);
    write_bytes("s.php", sources[i]);
    ASSERT_EQ(run_file("s.php").status, ModeOutcome::Status::ok);
    const std::vector<int> web = web_rules();
    const std::vector<int> cpp = cpp_rules();
    const Findings f = find_advice(*workspace_, std::vector<fs::path>{"s.php"});
    ASSERT_EQ(f.outcome.status, ModeOutcome::Status::ok);
    std::vector<int> got_web, got_cpp;
    for (const Finding& finding : f.findings) {
      (finding.section == Section::web ? got_web : got_cpp)
          .push_back(std::stoi(finding.id.substr(1)));
      EXPECT_EQ(finding.id[0], finding.section == Section::web ? 'W' : 'C');
      if (!finding.hit) continue;
      EXPECT_NE(std::find(finding.rule->keywords.begin(), finding.rule->keywords.end(),
                          finding.hit->keyword),
                finding.rule->keywords.end());
      EXPECT_GE(finding.hit->count, 1u);
      EXPECT_EQ(finding.hit->first.file, "s.php");
      EXPECT_GE(finding.hit->first.line, 1u);
    }
    EXPECT_EQ(got_web, web);
    EXPECT_EQ(got_cpp, cpp);
    EXPECT_EQ(f.web_gate.has_value(), sections().find(kWebHeading) != std::string_view::npos);
    EXPECT_EQ(f.cpp_gate.has_value(), sections().find(kCppHeading) != std::string_view::npos);
  }
}

#ifndef _WIN32
// An input "-" is standard input, read once (a second "-" adds nothing) as one file of the
// name the settings give ("-" without one), in its place among the other inputs.
TEST_F(Places, StandardInputIsOneFileOfItsName) {
  write_bytes("typed.txt", "x\n  fopen(1); <?php");
  write_bytes("b.php", "mail fopen");
  for (const char* name : {"typed.php", ""}) {
    const int saved = dup(0);
    const int typed = open("typed.txt", O_RDONLY);
    ASSERT_GE(typed, 0);
    dup2(typed, 0);
    close(typed);
    ScanSettings settings;
    settings.dash_is_stdin = true;
    settings.stdin_name = name;
    workspace_ = create_workspace();
    const Findings f = find_advice(*workspace_, std::vector<fs::path>{"-", "b.php", "-"}, settings);
    dup2(saved, 0);
    close(saved);
    ASSERT_EQ(f.outcome.status, ModeOutcome::Status::ok);
    const fs::path stdin_name = *name == 0 ? "-" : name;
    ASSERT_TRUE(f.web_gate);
    EXPECT_EQ(f.web_gate->first.file, stdin_name);
    ASSERT_FALSE(f.findings.empty());
    EXPECT_EQ(f.findings[0].id, "W01");
    EXPECT_EQ(f.findings[0].hit->first.file, stdin_name);
    EXPECT_EQ(f.findings[0].hit->first.line, 2u);
    EXPECT_EQ(f.findings[0].hit->first.column, 3u);
    EXPECT_EQ(f.findings[0].hit->count, 2u);  // and once in b.php, not again from a second "-"
  }
}

// Standard input that is a pipe, longer than a chunk and written while it is read: all of
// it is read to its end, as one file, and a keyword across the edge of two reads is found.
TEST_F(Places, StandardInputFromAPipeIsReadToItsEnd) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const std::string typed = std::string(300000, ' ') + "fop" + std::string(70000, '\n') + "en";
  std::thread writer([&] {
    for (std::size_t at = 0; at < typed.size();) {
      const ssize_t n =
          write(ends[1], typed.data() + at, std::min<std::size_t>(4096, typed.size() - at));
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    close(ends[1]);
  });
  const int saved = dup(0);
  dup2(ends[0], 0);
  close(ends[0]);
  ScanSettings settings;
  settings.dash_is_stdin = true;
  settings.chunk_bytes = 65536;
  workspace_ = create_workspace();
  write_bytes("gate.php", "<?php");
  const Findings f = find_advice(*workspace_, std::vector<fs::path>{"gate.php", "-"}, settings);
  writer.join();
  dup2(saved, 0);
  close(saved);
  ASSERT_EQ(f.outcome.status, ModeOutcome::Status::ok);
  ASSERT_FALSE(f.findings.empty());
  EXPECT_EQ(f.findings[0].id, "W01");
  EXPECT_EQ(f.findings[0].hit->first.file, "-");
  EXPECT_EQ(f.findings[0].hit->last.line, 70001u);
}
#endif

// The markers as they are read on a raw line: each scope, lists with commas and blanks, "all",
// ids that are no rule passed over; no marker without a blank and an id after the scope, in a
// longer word, or with a list cut by the end of a text that is not all of its file.
TEST(Markers, ReadOnTheRawLine) {
  const auto only = [](std::string_view text) {
    const std::vector<Marker> markers = markers_in(text);
    EXPECT_EQ(markers.size(), 1u) << text;
    return markers.empty() ? Marker{} : markers.front();
  };
  const Marker line = only("x(); // orven-disable-line W01,C02 , W28\n");
  EXPECT_EQ(line.scope, Marker::Scope::line);
  EXPECT_EQ(line.rules.count(), 3u);
  EXPECT_TRUE(line.rules.test(0) && line.rules.test(27) && line.rules.test(kWebRuleCount + 1));
  EXPECT_EQ(only("<!-- orven-disable-next-line W03-->").scope, Marker::Scope::next_line);
  EXPECT_EQ(only("<!-- orven-disable-next-line W03-->").rules.count(), 1u);
  EXPECT_EQ(only("/* orven-disable-file all */").rules.count(), kRuleCount);
  EXPECT_EQ(only("# orven-disable-file\tC40,W99,X1,W00,C41").rules.count(), 1u);
  for (const std::string_view none :
       {"orven-disable-line", "orven-disable-lineW01", "orven-disable-lines W01",
        "orven-disable-line ,W01", "orven-disable W01", "orven-disable-line\nW01"}) {
    EXPECT_TRUE(markers_in(none).empty()) << none;
  }
  EXPECT_TRUE(next_marker("// orven-disable-line W0", 0, false) == std::nullopt);
  EXPECT_TRUE(next_marker("// orven-disable-line W01, ", 0, false) == std::nullopt);
  EXPECT_TRUE(next_marker("// orven-disable-line W01\n", 0, false).has_value());
  EXPECT_EQ(markers_in("orven-disable-line W01 orven-disable-file C01").size(), 2u);
}

// A stream of pieces reads the markers of a text as markers_in reads it whole, wherever the
// pieces are cut: random texts of marker starts, scope words, lists of ids with commas and
// blanks (long runs too), starts inside lists and after broken ones, and line breaks.
TEST(Markers, AStreamReadsThemAsTheWholeText) {
  std::mt19937 random(37);
  const std::vector<std::string> pieces{"orven-disable-",
                                        "orven-",
                                        "orven-disable-line",
                                        "orven-disable-next-line",
                                        "orven-disable-file",
                                        "line",
                                        "next-line",
                                        "file",
                                        "lin",
                                        "next-",
                                        " ",
                                        "\t",
                                        std::string(30, ' '),
                                        ",",
                                        " , ",
                                        "W01",
                                        "C40",
                                        "W1",
                                        "W011",
                                        "all",
                                        "al",
                                        "x",
                                        "-",
                                        "o",
                                        "\n",
                                        "/*",
                                        "W28,C01"};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (std::size_t n = random() % 40; n > 0; --n) text += pieces[random() % pieces.size()];
    const std::vector<Marker> whole = markers_in(text);
    MarkerStream stream;
    std::vector<Marker> read;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t n = std::min<std::size_t>(text.size() - at, 1 + random() % 20);
      stream.feed(std::string_view(text).substr(at, n), read);
      at += n;
    }
    stream.finish(read);
    ASSERT_EQ(read.size(), whole.size()) << text;
    for (std::size_t i = 0; i < whole.size(); ++i) {
      EXPECT_EQ(read[i].scope, whole[i].scope) << text;
      EXPECT_EQ(read[i].rules, whole[i].rules) << text;
      EXPECT_EQ(read[i].begin, whole[i].begin) << text;
      EXPECT_EQ(read[i].end, whole[i].end) << text;
    }
  }
}

// The hits of one document: every occurrence of the keywords of its section's rules (both
// rules where two share a keyword), blanks inside an occurrence spanned, in order of begin;
// the name's ending gives the section, a name of no language needs a gate keyword; markers
// leave out the occurrences on their lines; the limit cuts the list.
TEST(DocumentHits, OccurrencesOfTheRulesThatFire) {
  using Hits = std::vector<std::tuple<std::string, std::size_t, std::size_t>>;
  const auto hits = [](std::string_view text, const char* name, std::size_t limit = 1000) {
    Hits out;
    for (const DocumentHit& h : document_hits(text, name, limit))
      out.emplace_back(h.id, h.begin, h.end);
    return out;
  };
  const std::string php = "<?php fopen(1);\nfor  (;;) $_GET;";
  EXPECT_EQ(hits(php, "a.php"),
            (Hits{{"W01", 6, 11}, {"W02", 16, 22}, {"W06", 26, 31}, {"W10", 26, 31}}));
  EXPECT_EQ(hits(php, "A.PHP", 2), (Hits{{"W01", 6, 11}, {"W02", 16, 22}}));
  // C++: for (without its parenthesis) and fopen are C++ rules too; $_GET is not.
  EXPECT_EQ(hits(php, "a.cpp"), (Hits{{"C02", 6, 11}, {"C03", 16, 19}}));
  EXPECT_TRUE(hits(php.substr(6), "notes.txt").empty());
  EXPECT_EQ(hits("#include fopen", "notes.txt"), (Hits{{"C02", 9, 14}}));
  // A zero byte ends what is searched.
  EXPECT_TRUE(hits(std::string("<?php x\0fopen", 13), "a.php").empty());

  const std::string marked =
      "<?php fopen(); fopen(); // orven-disable-line W01\n"
      "// orven-disable-next-line all\r\n"
      "fopen();\r"
      "fopen(); if\n";
  EXPECT_EQ(hits(marked, "a.php"), (Hits{{"W01", 91, 96}, {"W16", 100, 102}}));
  EXPECT_EQ(hits(marked + "/* orven-disable-file W16 */", "a.php"), (Hits{{"W01", 91, 96}}));
  EXPECT_EQ(hits(marked, "a.c").size(), 4u);  // C02 three times and C04: W01 is not C02
}

// In code, an occurrence counts only where it is code of the kind its keyword must be: not in
// a comment, a literal or markup text, not inside a longer word, not joined from two words
// by taking out a blank, and a tag or a header name only where one stands. Each case is
// (source, name, the occurrences that count as "id:text").
TEST(DocumentHits, CodeNotCommentsLiteralsOrPartsOfWords) {
  const auto hits = [](std::string_view text, const char* name) {
    std::vector<std::string> out;
    for (const DocumentHit& h : document_hits(text, name)) {
      out.push_back(h.id + ":" + std::string(text.substr(h.begin, h.end - h.begin)));
    }
    return out;
  };
  using Want = std::vector<std::string>;
  EXPECT_EQ(hits("// fopen if\n/* while */ \"return\" 'i' #ifndef X\n"
                 "if (x) fopen(y); ACCESS_BIT SS_CENTER Create Window CreateWindowEx();\n"
                 "R\"x(puts)x\" 1'0'0 OFN_ALLOWMULTISELECT for\t(;;) strtolower(s);\n"
                 "#define S \"a\\\n fopen\"\n",
                 "win.c"),
            (Want{"C04:if", "C02:fopen", "C28:SS_", "C10:CreateWindow", "C17:FN_ALLOWMULTISELECT",
                  "C03:for"}));
  EXPECT_EQ(
      hits("<html><body><form><input type=\"text\" value='input'> mail if\n"
           "<?php // mail ?>\n<?php $mail = 1; mail ($to); # fopen\n"
           "echo \"$_GET[x] and fopen\"; echo <<<EOT\n  $_POST fopen\n  EOT;\n"
           "echo <<<'NOW'\n$_REQUEST\nNOW;\n?>\n"
           "<script>if (a) s = /fopen/.test(s); x = y / fopen / 2; `${mkdir(1)} unlink`</script>"
           "<!-- chmod --></body>",
           "page.php"),
      (Want{"W23:form", "W22:input", "W21:mail", "W06:$_GET", "W10:$_GET", "W06:$_POST",
            "W10:$_POST", "W16:if", "W01:fopen", "W13:mkdir"}));
  // JavaScript alone opens the web section; a name of no language is text.
  EXPECT_EQ(hits("let s = 'fopen'; // mail\nif (re.test(x)) getElementById('a');", "a.js"),
            (Want{"W16:if", "W24:getElementById"}));
  EXPECT_EQ(hits("#include <windows.h>\n// ifx", "notes.txt"), (Want{"C04:if"}));
}

// The lexers' classes of the bytes that keywords of a kind need: a preprocessor line's "#"
// and the header name of its #include, PHP's open tags, the tags of a page.
TEST(CodeLexers, DirectivesHeadersTagsAndOpenTags) {
  const std::string c = "  # include <windows.h>\n#define X <a.h>\n";
  const std::vector<CodeClass> cc = classify(c, Language::c);
  EXPECT_EQ(cc[2], CodeClass::directive);
  EXPECT_EQ(cc[c.find("<windows.h>")], CodeClass::header);
  EXPECT_EQ(cc[c.find(".h>")], CodeClass::header);
  EXPECT_EQ(cc[c.find("<a.h>")], CodeClass::code);
  const std::string php = "<p>x</p><?php if ?><?= $a ?><?xml";
  const std::vector<CodeClass> pc = classify(php, Language::php);
  EXPECT_EQ(pc[0], CodeClass::tag);
  EXPECT_EQ(pc[3], CodeClass::text);
  EXPECT_EQ(pc[php.find("</p")], CodeClass::tag);
  EXPECT_EQ(pc[php.find("<?php") + 4], CodeClass::open_tag);
  EXPECT_EQ(pc[php.find("if")], CodeClass::code);
  EXPECT_EQ(pc[php.find("$a")], CodeClass::code);
  EXPECT_NE(pc[php.find("<?xml")], CodeClass::open_tag);
  // Every keyword of the rules and gates has its kind written down.
  for (const RuleRef& ref : all_rules()) {
    for (const std::string_view keyword : ref.rule->keywords) {
      if (keyword.empty()) continue;
      EXPECT_TRUE(std::any_of(std::begin(kKeywordKinds), std::end(kKeywordKinds),
                              [&](const KeywordKindEntry& e) { return e.keyword == keyword; }))
          << keyword;
    }
  }
}

// The lexers on what is hard to tell: JavaScript's slash as a regular expression or a
// division, templates nested in templates, PHP's heredoc label only where it ends a line's
// first word and "?>" ending PHP in a line comment, C's raw strings with a delimiter, a line
// comment continued by a backslash, and character prefixes.
TEST(CodeLexers, WhatIsHardToTell) {
  const auto classes_of = [](std::string_view text, Language language, std::string_view what,
                             std::size_t nth = 0) {
    std::size_t at = text.find(what);
    while (nth-- > 0) at = text.find(what, at + 1);
    return classify(text, language)[at];
  };
  const std::string js =
      "a = b / c / d; r = /x\\/[/]y/g.test(s); return /z/; f(`${`${q}` + w}` + v); e = (1) / g;";
  EXPECT_EQ(classes_of(js, Language::javascript, "c"), CodeClass::code);
  EXPECT_EQ(classes_of(js, Language::javascript, "y/g"), CodeClass::literal);
  EXPECT_EQ(classes_of(js, Language::javascript, "z"), CodeClass::literal);
  EXPECT_EQ(classes_of(js, Language::javascript, "q"), CodeClass::code);
  EXPECT_EQ(classes_of(js, Language::javascript, "w"), CodeClass::code);
  EXPECT_EQ(classes_of(js, Language::javascript, "v"), CodeClass::code);
  EXPECT_EQ(classes_of(js, Language::javascript, "g;"), CodeClass::code);

  const std::string php =
      "<?php $a = <<<END\nx END y\n  ENDING\n  END;\n$b; // c ?>d<?php /* ?> */ $e ?>";
  EXPECT_EQ(classes_of(php, Language::php, "ENDING"), CodeClass::literal);
  EXPECT_EQ(classes_of(php, Language::php, "$b"), CodeClass::code);
  EXPECT_EQ(classes_of(php, Language::php, "d<"), CodeClass::text);
  EXPECT_EQ(classes_of(php, Language::php, "$e"), CodeClass::code);
  // Bytes of one class each: a page's code amid its text (a variable a string interpolates, its
  // "$" too, a script and every way it leaves its code), PHP's comments ("/*/" opens one only).
  const auto expect_all = [&](std::string_view text, Language language, CodeClass want,
                              std::initializer_list<const char*> whats) {
    for (const char* what : whats) EXPECT_EQ(classes_of(text, language, what), want) << what;
  };
  const std::string page = "<?php \"a $v b\" ?>t<script>k = 1; // m\n</script><style>s</style>";
  expect_all(page, Language::php, CodeClass::code, {"$v", "v b"});
  expect_all(page, Language::php, CodeClass::literal, {" b"});
  expect_all(page, Language::php, CodeClass::text, {"t<"});
  expect_all(page, Language::html, CodeClass::code, {"k =", " = 1"});
  expect_all(page, Language::html, CodeClass::comment, {"m"});
  expect_all(page, Language::html, CodeClass::text, {"s<"});
  const std::string script = "<script>a = /r/; b = 's'; c = `t${d}`; e // f\n g /* h */ i</script>";
  expect_all(script, Language::html, CodeClass::code,
             {"a =", "b =", "c =", "d}", "e /", "g /", "i<"});
  expect_all(script, Language::html, CodeClass::literal, {"r/", "s'", "t$"});
  expect_all(script, Language::html, CodeClass::comment, {"h"});
  const std::string comments = "<?php a /*/ b */ c // d\n e # f\n g ?><a <?php h ?> j>";
  expect_all(comments, Language::php, CodeClass::code, {"a /", "c /", "e #", "g ?", "h ?"});
  expect_all(comments, Language::php, CodeClass::comment, {"/ b", "b", "d", "f"});
  expect_all(comments, Language::php, CodeClass::tag, {"j>"});
  expect_all("a /*/ b */ c", Language::c, CodeClass::comment, {"/ b", "b"});
  expect_all("a /*/ b */ c", Language::c, CodeClass::code, {" c"});

  const std::string c = "s = R\"xy(a)\" b)xy\"; t; // c \\\n d\ne = u8'f' + L\"g\" + h;";
  EXPECT_EQ(classes_of(c, Language::c, "b)"), CodeClass::literal);
  EXPECT_EQ(classes_of(c, Language::c, "t;"), CodeClass::code);
  EXPECT_EQ(classes_of(c, Language::c, " d"), CodeClass::comment);
  EXPECT_EQ(classes_of(c, Language::c, "e ="), CodeClass::code);
  EXPECT_EQ(classes_of(c, Language::c, "f"), CodeClass::literal);
  EXPECT_EQ(classes_of(c, Language::c, "g"), CodeClass::literal);
  EXPECT_EQ(classes_of(c, Language::c, "h"), CodeClass::code);
}

// A file lexed in pieces of any size, each with the bytes after it (fewer only where the file
// ends), gets the classes it gets lexed whole: the grammar's sources, and random bytes of the
// languages' hard parts (quotes, comment starts, heredoc labels, slashes, tags).
TEST(CodeLexers, InPiecesAsWhole) {
  std::mt19937 random(31);
  Grammar grammar;
  const std::vector<std::string> bits{
      "'",     "\"",   "`",     "/",    "*",        "//",        "/*", "*/",     "\n", "\\",
      "<<<Z",  "Z;",   "<?php", "?>",   "<script>", "</script>", "${", "}",      "(",  ")",
      "R\"x(", ")x\"", "#",     "<!--", "-->",      "if",        " ",  "<a b='", "$x", "ж"};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    Language language = Language::c;
    if (round % 2 == 0) {
      const std::vector<Grammar::File> files = grammar.make(random);
      text = files.front().text;
      language = language_of(std::string_view(files.front().name));
    } else {
      for (std::size_t n = random() % 200; n > 0; --n) text += bits[random() % bits.size()];
      language = std::vector<Language>{Language::c, Language::php, Language::html,
                                       Language::javascript}[random() % 4];
    }
    const std::vector<CodeClass> whole = classify(text, language);
    std::vector<CodeClass> pieces(text.size());
    LexState state = lex_start(language);
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t size = std::min<std::size_t>(1 + random() % 40, text.size() - at);
      const std::string_view piece = std::string_view(text).substr(at, size);
      const std::string_view ahead = std::string_view(text).substr(at + size, kLexAhead);
      lex_piece(state, piece, ahead, pieces.data() + at);
      at += size;
    }
    ASSERT_EQ(pieces, whole) << "round " << round << ": " << text;
  }
}

// Plain lexers, a byte at a time, of what the fast ones run over: C without raw strings
// and digit separators, and a page without scripts, styles or PHP.
std::vector<CodeClass> plain_c(std::string_view t) {
  enum { code, line, block, string, blanks, name, include, header } mode = code;
  std::vector<CodeClass> out(t.size(), CodeClass::code);
  bool line_start = true;
  char quote = 0;
  std::string label;
  const auto is_blank = [](char c) { return c != '\n' && is_space(c); };
  const auto is_ident = [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return std::isalnum(b) || c == '_' || b >= 0x80;
  };
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    const char next = i + 1 < t.size() ? t[i + 1] : '\0';
    if (mode == blanks && !is_blank(c)) mode = is_ident(c) ? name : code;
    if (mode == name && !is_ident(c)) {
      mode = label == "include" ? include : code;
      label.clear();
    }
    if (mode == include && !is_blank(c)) mode = c == '<' ? header : code;
    // A line comment, and a string or header name left open, end before the line's end.
    if ((mode == line || mode == string || mode == header) && c == '\n') mode = code;
    switch (mode) {
      case code:
        if (c == '/' && (next == '/' || next == '*')) {
          out[i] = out[i + 1] = CodeClass::comment;
          mode = next == '/' ? line : block;
          ++i;
          break;  // a comment leaves line_start as it was
        }
        if (c == '#' && line_start) {
          out[i] = CodeClass::directive;
          mode = blanks;
        } else if (c == '"' || c == '\'') {
          out[i] = CodeClass::literal;
          quote = c;
          mode = string;
        }
        line_start = c == '\n' || (line_start && is_blank(c));
        break;
      case line:
        out[i] = CodeClass::comment;
        // A backslash takes the byte after it, or a "\r\n".
        for (std::size_t k = t.substr(i + 1, 2) == "\r\n" ? 2 : 1; c == '\\' && k > 0; --k) {
          if (i + 1 < t.size()) out[++i] = CodeClass::comment;
        }
        break;
      case block:
        out[i] = CodeClass::comment;
        if (c == '*' && next == '/') {
          out[++i] = CodeClass::comment;
          mode = code;
        }
        break;
      case string:
        out[i] = CodeClass::literal;
        if (c == '\\' && i + 1 < t.size()) out[++i] = CodeClass::literal;
        if (c == quote) mode = code;
        break;
      case header:
        out[i] = CodeClass::header;
        if (c == '>') mode = code;
        break;
      case name:
        label += c;
        break;
      default:
        break;
    }
  }
  return out;
}

std::vector<CodeClass> plain_page(std::string_view t) {
  enum { text, tag, comment } mode = text;
  std::vector<CodeClass> out(t.size(), CodeClass::text);
  char quote = 0;
  int dashes = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (mode == text && t.substr(i, 4) == "<!--") {
      std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(i), 4, CodeClass::comment);
      mode = comment;
      dashes = 0;
      i += 3;
    } else if (mode == text) {
      const char next = i + 1 < t.size() ? t[i + 1] : ' ';
      if (c == '<' && (std::isalpha(static_cast<unsigned char>(next)) || next == '/' ||
                       next == '!' || next == '?')) {
        mode = tag;
        out[i] = CodeClass::tag;
      }
    } else if (mode == comment) {
      out[i] = CodeClass::comment;
      if (c == '>' && dashes >= 2) mode = text;
      dashes = c == '-' ? dashes + 1 : 0;
    } else {
      out[i] = quote != 0 || c == '"' || c == '\'' ? CodeClass::literal : CodeClass::tag;
      if (quote != 0) {
        quote = c == quote ? 0 : quote;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        mode = text;
      }
    }
  }
  return out;
}

// Soups as the bench writes them, modes switching every few bytes among runs long and short
// (a fast step looks at 16 bytes at a time, its last ones overlapping): the C and page ones
// against the plain lexers, every language's lexed whole and in pieces of up to 300 bytes.
TEST(CodeLexers, SoupsAgainstPlainLexersAndInPieces) {
  std::mt19937 random(27);
  const std::vector<std::string> common{" ",           "  ",
                                        "\t",          "\n",
                                        "\r\n    ",    "\n\t\t",
                                        "value",       "x",
                                        "total_count", "ж",
                                        "'",           "\"",
                                        "\\",          "/",
                                        "*",           ">",
                                        "--",          "-",
                                        "//",          "/*",
                                        "*/",          "a \\\"b\\\" c",
                                        "=",           ";"};
  const std::vector<std::string> c_only{"#", "# define", "#include", "#include <a.h>", "\\\n"};
  const std::vector<std::string> page_only{"<p>",   "</div>", "<a b='x>y' c=\"z\">",
                                           "< p",   "<!--",   "-->",
                                           "--->",  "<!d>",   "<",
                                           "<br/>", "<UL\n>", "</a >",
                                           "<s>",   "<5",     "<?x>"};
  const std::vector<std::string> more{"<?php",    "?>",        "<script>", "</script>", "`",
                                      "${",       "}",         "<<<Z\n",   "\nZ;",      "#",
                                      "$v",       "(",         ")",        "if",        "<style>",
                                      "</STYLE>", "<Script >", "\"$v\"",   "/x/",       "a/b"};
  for (int round = 0; round < 400; ++round) {
    const auto language = static_cast<Language>(1 + round % 4);
    std::vector<std::string> tokens = common;
    const auto& own = language == Language::c      ? c_only
                      : language == Language::html ? page_only
                                                   : more;
    tokens.insert(tokens.end(), own.begin(), own.end());
    if (language != Language::c) tokens.insert(tokens.end(), page_only.begin(), page_only.end());
    std::string text;
    for (std::size_t n = 20 + random() % 400; n > 0; --n) {
      text += random() % 8 == 0 ? std::string(random() % 70, "ab  "[random() % 4])
                                : tokens[random() % tokens.size()];
    }
    const std::vector<CodeClass> whole = classify(text, language);
    // Where two lexings first part, or -1.
    const auto parting = [](const std::vector<CodeClass>& a, const std::vector<CodeClass>& b) {
      const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
      return at == std::ssize(a) && a.size() == b.size() ? -1 : at;
    };
    if (language == Language::c || language == Language::html) {
      ASSERT_EQ(parting(whole, language == Language::c ? plain_c(text) : plain_page(text)), -1)
          << text;
    }
    std::vector<CodeClass> pieces(text.size());
    LexState state = lex_start(language);
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t size = std::min<std::size_t>(1 + random() % 300, text.size() - at);
      const std::string_view ahead = std::string_view(text).substr(at + size, kLexAhead);
      lex_piece(state, std::string_view(text).substr(at, size), ahead, pieces.data() + at);
      at += size;
    }
    ASSERT_EQ(parting(pieces, whole), -1) << "round " << round << ": " << text;
  }
}

// The numbered list of the rules: every id read back to its number, the ids that are not
// rules refused, and each keyword of the set firing the rules that name it, in order.
TEST(RuleIndex, IdsNumbersAndKeywords) {
  for (const RuleRef& ref : all_rules()) {
    EXPECT_EQ(rule_number(rule_id(ref.section, ref.index)), ref.number);
  }
  for (const std::string_view id : {"W00", "W29", "C41", "X01", "W1", "w01", "W011"}) {
    EXPECT_FALSE(rule_number(id).has_value()) << id;
  }
  const KeywordSet& keywords = advisor_keywords();
  const auto rules = rules_by_keyword(keywords);
  EXPECT_EQ(rules[keywords.index_of("$_GET")], (std::vector<std::size_t>{5, 9}));
  EXPECT_EQ(rules[keywords.index_of("fopen")], (std::vector<std::size_t>{0, kWebRuleCount + 1}));
  EXPECT_EQ(rules[keywords.index_of("eval (")], (std::vector<std::size_t>{19}));
  EXPECT_TRUE(rules[keywords.index_of("<?php")].empty());
}

// A file of no language: its document hits are the text-mode findings of a run over that
// file alone, rule for rule, each rule's first hit where the findings place it.
TEST_F(Places, DocumentHitsOfATextFileAgreeWithTheFindings) {
  const std::string text =
      "#include <windows.h>\n<?php fopen(x);\tfor ( ; ; ) if\r\nMessage Box(); printf sprintf";
  write_bytes("notes.txt", text);
  workspace_ = create_workspace();
  const Findings f = find_advice(*workspace_, std::vector<fs::path>{"notes.txt"});
  const std::vector<DocumentHit> hits = document_hits(text, "notes.txt");
  for (const Finding& finding : f.findings) {
    if (!finding.hit) continue;
    SCOPED_TRACE(finding.id);
    const auto first = std::find_if(hits.begin(), hits.end(),
                                    [&](const DocumentHit& h) { return h.id == finding.id; });
    ASSERT_NE(first, hits.end());
    const std::string_view before = std::string_view(text).substr(0, first->begin);
    const std::size_t line_start = before.find_last_of("\r\n") + 1;
    EXPECT_EQ(std::count(before.begin(), before.end(), '\n') + 1, finding.hit->first.line);
    EXPECT_EQ(first->begin - line_start + 1, finding.hit->first.column);
  }
}

}  // namespace
}  // namespace orven::testing
