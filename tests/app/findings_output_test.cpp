// The findings' printers, rule metadata, selection and baseline on findings made by hand, so
// that what the scan fills in later (display columns, suppression) is set here directly.
#include "app/findings_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <set>

#include "app/baseline.h"
#include "app/display_text.h"
#include "app/rule_selection.h"
#include "tests/app/temp_folder.h"
#include "texts/cp1251.h"
#include "texts/messages.h"

namespace orven::app {
namespace {

using nlohmann::json;
using namespace orven::texts::literals;

// The bytes an escaped name stands for: \\ is a backslash, \xHH a byte.
std::string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Names: a gnu line names a file plainly only where Vim's and Emacs' readers take exactly
// that name; an escaped name reads back to its bytes and holds nothing a reader stops at.
TEST(FindingsNames, PlainOnlyWhereEditorsReadTheName) {
  for (const char* name : {"src/a.php", "файл с пробелом.cpp", "a-b_c.h", "x/1.php", "😀.js"}) {
    EXPECT_TRUE(plain_name(name)) << name;
    EXPECT_EQ(escaped_name(name), name) << name;
  }
  EXPECT_TRUE(plain_name("C:/проект/a.php"));  // a drive's colon, which both editors know
  for (const char* name :
       {"e.c:9:9: x.c", "a\tb.c", "a\nb.c", "x\x1b[31mRED", "\xCF\xF0.php", "a\\b.c", "a\"b\".c",
        "$HOME.php", "~/a.php", " a.php", "a.php ", "123", "", "x\xC2\x85y.c"}) {
    EXPECT_FALSE(plain_name(name)) << name;
  }
  EXPECT_EQ(escaped_name("e.c:9:9: x.c"), "e.c\\x3A9\\x3A9\\x3A x.c");
  EXPECT_EQ(escaped_name("a\\b\t\"\xCF\xF0"), "a\\\\b\\x09\\x22\\xCF\\xF0");
  EXPECT_EQ(escaped_name("x\xC2\x85y"), "x\\xC2\\x85y");  // a C1 control, byte by byte
}

TEST(FindingsNames, EscapedNamesReadBackToTheirBytes) {
  std::mt19937 random(26);
  const std::string alphabet = std::string("a:\\\"x\t\n/ \x1b\x7f\xc2\x85\xcf\xf0\xd0\x96", 18);
  for (int round = 0; round < 2000; ++round) {
    std::string name;
    for (std::size_t n = random() % 12; n > 0; --n) name += alphabet[random() % alphabet.size()];
    const std::string escaped = escaped_name(name);
    ASSERT_EQ(unescaped(escaped), name) << escaped;
    for (const char c : escaped) {
      const auto byte = static_cast<unsigned char>(c);
      ASSERT_TRUE(byte >= 0x20 && byte != 0x7F && c != ':' && c != '"') << escaped;
    }
    ASSERT_EQ(escape_controls(escaped), escaped) << "valid UTF-8 without controls";
  }
}

// Findings made by hand: W01 through fopen at a place whose GNU column differs from its
// UTF-16 one, C06 through MessageBox, and the keywordless W28.
class Printers : public ::testing::Test {
 protected:
  Printers() {
    run_.arguments = {"orven-cli", "training"};
    run_.current_folder = std::filesystem::current_path();
    findings_.web_gate = KeywordHit{"<?php", {"a.php", 1, 1, 1}, {"a.php", 1, 5, 5}, 1};
    findings_.findings.push_back(finding("W01", "fopen", {"a.php", 3, 9, 17}));
    findings_.findings.push_back(finding("C06", "MessageBox", {"b.cpp", 2, 1, 1}));
    findings_.findings.push_back(finding("W28", {}, {}));
  }

  static Finding finding(std::string id, std::string_view keyword, SourcePlace at) {
    const RuleRef& rule = *find_rule(id);
    Finding f{id, rule.section, rule.rule, std::nullopt};
    if (!keyword.empty()) {
      SourcePlace last = at;
      last.column += keyword.size() - 1;
      f.hit = KeywordHit{keyword, at, last, 2};
    }
    return f;
  }
  std::vector<std::string> gnu_lines() const {
    std::vector<std::string> lines;
    std::string text = findings_text(FindingsFormat::gnu, findings_, run_);
    for (std::size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1)) {
      lines.push_back(text.substr(0, end));
    }
    return lines;
  }
  json parsed(FindingsFormat format) const {
    return json::parse(findings_text(format, findings_, run_));
  }
  static std::string advice(const Finding& f) {
    std::string text;
    for (const std::string& line : markup_lines(f.rule->advice)) text += line;
    return text;
  }

  Findings findings_;
  FindingsRunInfo run_;
};

TEST_F(Printers, GnuColumnsAreDisplayColumnsTheOthersUtf16) {
  const std::vector<std::string> lines = gnu_lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "a.php:3:17: note: " + advice(findings_.findings[0]) + " [W01]");
  EXPECT_TRUE(lines[1].starts_with("b.cpp:2:1: note: "));
  EXPECT_TRUE(lines[2].starts_with("orven-cli: note: ") && lines[2].ends_with(" [W28]"));
  EXPECT_EQ(parsed(FindingsFormat::json)["findings"][0]["column"], 9);
  const json region = parsed(
      FindingsFormat::sarif)["runs"][0]["results"][0]["locations"][0]["physicalLocation"]["region"];
  EXPECT_EQ(region["startColumn"], 9);
  EXPECT_EQ(region["snippet"]["text"], "fopen");
  // A scan that does not fill the display column leaves the character count.
  findings_.findings[0].hit->first.display_column = 0;
  EXPECT_TRUE(gnu_lines()[0].starts_with("a.php:3:9: "));
}

// A name that is not UTF-8 exists on POSIX only; Windows names are UTF-16.
#ifndef _WIN32
TEST_F(Printers, NameEditorsCannotReadMovesIntoTheMessage) {
  findings_.findings[0].hit->first.file = "e.c:9:9: x\xCF.c";
  findings_.findings[0].hit->last.file = findings_.findings[0].hit->first.file;
  const std::string line = gnu_lines()[0];
  EXPECT_EQ(line, "orven-cli: note: e.c\\x3A9\\x3A9\\x3A x\\xCF.c" +
                      to_utf8(texts::messages::kGnuPlace.line) + "3" +
                      to_utf8(texts::messages::kGnuPlace.column) + "17" +
                      to_utf8(texts::messages::kGnuPlace.end) + advice(findings_.findings[0]) +
                      " [W01]");
  // JSON keeps the display form and, losslessly, the bytes; SARIF's URI the same bytes.
  const json w01 = parsed(FindingsFormat::json)["findings"][0];
  EXPECT_EQ(w01["file"], "e.c\\x3A9\\x3A9\\x3A x\\xCF.c");
  EXPECT_EQ(w01["fileBytes"], "e.c%3A9%3A9%3A%20x%CF.c");
  EXPECT_EQ(parsed(FindingsFormat::sarif)["runs"][0]["results"][0]["locations"][0]
                                         ["physicalLocation"]["artifactLocation"]["uri"],
            "e.c%3A9%3A9%3A%20x%CF.c");
}
#endif

TEST_F(Printers, SuppressedFindingsLeaveGnuOnly) {
  findings_.findings[1].suppressed = true;
  const std::vector<std::string> lines = gnu_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[1].ends_with("[W28]"));
  const json doc = parsed(FindingsFormat::json);
  EXPECT_EQ(doc["findings"][1]["suppressed"], true);
  EXPECT_FALSE(doc["findings"][0].contains("suppressed"));
  const json results = parsed(FindingsFormat::sarif)["runs"][0]["results"];
  EXPECT_EQ(results[1]["suppressions"], json::parse(R"([{"kind": "inSource"}])"));
  EXPECT_FALSE(results[0].contains("suppressions"));
}

TEST_F(Printers, BaselineStates) {
  run_.baseline = true;
  run_.known = {true, false, true};
  AbsentFinding gone;
  gone.rule = find_rule("C02");
  gone.file = "old.cpp";
  gone.line = 4;
  run_.absent.push_back(gone);
  const std::vector<std::string> lines = gnu_lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with("[C06]"));
  const json doc = parsed(FindingsFormat::json);
  EXPECT_EQ(doc["findings"].size(), 1u);
  EXPECT_EQ(doc["baseline"]["known"], 2);
  const json results = parsed(FindingsFormat::sarif)["runs"][0]["results"];
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[0]["baselineState"], "unchanged");
  EXPECT_EQ(results[1]["baselineState"], "new");
  EXPECT_EQ(results[3]["baselineState"], "absent");
  EXPECT_EQ(results[3]["ruleId"], "C02");
  EXPECT_EQ(results[3]["locations"][0]["physicalLocation"]["artifactLocation"]["uri"], "old.cpp");
  EXPECT_EQ(results[3]["locations"][0]["physicalLocation"]["region"]["startLine"], 4);
}

// GCC's colours: the place bold, "note:" and the id bold cyan, each closed again.
TEST_F(Printers, ColoursAsGcc) {
  run_.color = true;
  const std::vector<std::string> lines = gnu_lines();
  EXPECT_TRUE(
      lines[0].starts_with("\33[01m\33[Ka.php:3:17:\33[m\33[K \33[01;36m\33[Knote: "
                           "\33[m\33[K"))
      << lines[0];
  EXPECT_TRUE(lines[0].ends_with(" [\33[01;36m\33[KW01\33[m\33[K]"));
  run_.color = false;
  EXPECT_EQ(gnu_lines()[0].find('\33'), std::string::npos);
}

// Rule metadata: a Pascal-case name of its own for each rule, a summary that is the advice's
// first sentence, Markdown with the example fenced whatever it holds.
TEST(RuleMetadata, NamesSummariesMarkdown) {
  // Words each from a capital: a capital first, then ASCII letters and digits alone.
  const auto pascal = [](const std::string& name) {
    return !name.empty() && name[0] >= 'A' && name[0] <= 'Z' &&
           std::all_of(name.begin(), name.end(), [](char c) {
             return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
           });
  };
  std::set<std::string> names;
  for (const RuleRef& rule : all_rules()) {
    const std::string name = rule_name(rule);
    EXPECT_TRUE(pascal(name)) << name;
    EXPECT_TRUE(names.insert(name).second) << name;
    const std::string summary = rule_summary(*rule.rule);
    std::string advice;
    for (const std::string& line : markup_lines(rule.rule->advice)) advice += line + " ";
    EXPECT_FALSE(summary.empty());
    EXPECT_NE(advice.find(summary.substr(0, summary.size() - 1)), std::string::npos) << summary;
  }
  EXPECT_EQ(rule_name(*find_rule("C08")), "CppWsOverlappedwindow08");
  EXPECT_EQ(rule_name(*find_rule("w06")), "WebGet06");
  EXPECT_EQ(rule_name(*find_rule("W25")), "WebGeneral25");
  EXPECT_EQ(find_rule("W29"), nullptr);
  EXPECT_EQ(find_rule("X01"), nullptr);

  const texts::Rule odd{{"k"}, "Use *this* `x`, not [y]:<br/>- next", "a ```` b<br/>&lt;c&gt;"};
  EXPECT_EQ(rule_markdown({Section::cpp, 0, 0, &odd}),
            "Use \\*this\\* \\`x\\`, not \\[y\\]:\\\n\\- next\n\n`````cpp\na ```` b\n<c>\n`````\n");
  EXPECT_EQ(rule_summary(odd), "Use *this* `x`, not [y]: - next");
  const texts::Rule two{{"k"}, "Первое, т.е. одно. Второе предложение."_cp, ""};
  EXPECT_EQ(rule_summary(two), "Первое, т.е. одно.");
}

// --select and --disable lists: ids of either case, ranges within a section, sections.
TEST(RuleSelection, ListsNameIdsRangesSections) {
  RuleSet set;
  std::string bad;
  ASSERT_TRUE(add_rule_list("W01,c03-C05,,cpp", set, bad));
  EXPECT_TRUE(set.test(0));
  EXPECT_FALSE(set.test(1));
  EXPECT_EQ(set.count(), 1u + 40u);
  set.reset();
  ASSERT_TRUE(add_rule_list("C03-C05", set, bad));
  EXPECT_EQ(set.count(), 3u);
  EXPECT_TRUE(set.test(kWebRuleCount + 2) && set.test(kWebRuleCount + 4));
  for (const char* list : {"W29", "C10-C01", "W27-C02", "web,nope", "W1", "-", "W01-", ",", ""}) {
    EXPECT_FALSE(add_rule_list(list, set, bad)) << list;
  }
  EXPECT_FALSE(add_rule_list("W01,nope,W02", set, bad));
  EXPECT_EQ(bad, "nope");

  Findings findings;
  for (const char* id : {"W01", "W28", "C06"}) {
    const RuleRef& rule = *find_rule(id);
    findings.findings.push_back({id, rule.section, rule.rule, std::nullopt});
  }
  set.reset();
  add_rule_list("web", set, bad);
  set.reset(find_rule("W28")->number);
  keep_selected(findings, set);
  ASSERT_EQ(findings.findings.size(), 1u);
  EXPECT_EQ(findings.findings[0].id, "W01");
}

// A baseline: known by rule and file wherever the place moved in it; another file is new (and
// the old one absent); a keywordless rule by the rule alone; deselected rules are not absent.
TEST(Baseline, KnownNewAbsent) {
  testing::TempCurrentFolder folder;
  std::ofstream(folder.path() / "old.json") << R"({"format": "orven-findings", "version": 1,
    "findings": [
      {"id": "W01", "keyword": "fopen", "file": "src/a.php", "line": 1, "column": 1},
      {"id": "W02", "keyword": "for(", "file": "src/a.php", "line": 5, "column": 1},
      {"id": "C06", "keyword": "MessageBox", "file": "x", "fileBytes": "src/%D0%96.cpp"},
      {"id": "C02", "keyword": "fopen", "file": "gone.cpp"},
      {"id": "W28", "keyword": null}]})";
  Baseline baseline;
  ASSERT_EQ(read_baseline(folder.path() / "old.json", baseline), BaselineRead::ok);
  ASSERT_EQ(baseline.findings.size(), 5u);

  Findings now;
  const auto add = [&](const char* id, std::filesystem::path file) {
    const RuleRef& rule = *find_rule(id);
    Finding f{id, rule.section, rule.rule, std::nullopt};
    if (!file.empty()) f.hit = KeywordHit{"k", {file, 9, 9, 9}, {file, 9, 9, 9}, 1};
    now.findings.push_back(std::move(f));
  };
  add("W01", folder.path() / "src" / "a.php");       // moved inside the file: known
  add("W02", "src/b.php");                           // moved to another file: new
  add("W28", {});                                    // keywordless: known by the rule
  add("C06", std::filesystem::path(u8"src/Ж.cpp"));  // named by its bytes: known
  RuleSet selected;
  selected.set();
  selected.reset(find_rule("C02")->number);
  FindingsRunInfo run;
  run.current_folder = folder.path();
  compare_with_baseline(now, baseline, selected, run);
  EXPECT_EQ(run.known, (std::vector<bool>{true, false, true, true}));
  ASSERT_EQ(run.absent.size(), 1u);
  EXPECT_EQ(run.absent[0].rule->number, find_rule("W02")->number);
  EXPECT_EQ(run.absent[0].line, 5u);
}

TEST(Baseline, SarifRelativeToItsBaseAndNotOurs) {
  testing::TempCurrentFolder folder;
  std::ofstream(folder.path() / "old.sarif") << R"({"version": "2.1.0", "runs": [{"results": [
    {"ruleId": "W01", "locations": [{"physicalLocation": {"artifactLocation":
      {"uri": "src/a%20b.php", "uriBaseId": "%SRCROOT%"}, "region": {"startLine": 2}}}]},
    {"ruleId": "W02", "baselineState": "absent", "locations": [{"physicalLocation":
      {"artifactLocation": {"uri": "src/x.php", "uriBaseId": "%SRCROOT%"}}}]},
    {"ruleId": "C06", "locations": [{"physicalLocation": {"artifactLocation":
      {"uri": "file:///elsewhere/b.cpp"}}}]}]}]})";
  Baseline baseline;
  ASSERT_EQ(read_baseline(folder.path() / "old.sarif", baseline), BaselineRead::ok);
  ASSERT_EQ(baseline.findings.size(), 2u) << "an absent result is no longer known";
  EXPECT_EQ(baseline.findings[0].file, "src/a b.php");
  EXPECT_EQ(baseline.findings[0].line, 2u);
  EXPECT_EQ(baseline.findings[1].file, "/elsewhere/b.cpp");

  for (const char* text : {"", "{", "[]", R"({"format": "other"})",
                           R"({"format": "orven-findings", "findings": [{"id": "W99"}]})",
                           R"({"format": "orven-findings", "findings": [{"id": "W01"}]})",
                           R"({"version": "2.1.0", "runs": [{"results": [{"ruleId": 5}]}]})"}) {
    std::ofstream(folder.path() / "bad.json", std::ios::trunc) << text;
    Baseline bad;
    EXPECT_EQ(read_baseline(folder.path() / "bad.json", bad), BaselineRead::not_findings) << text;
    EXPECT_TRUE(bad.findings.empty());
  }
  Baseline missing;
  EXPECT_EQ(read_baseline(folder.path() / "missing.json", missing), BaselineRead::unreadable);
  EXPECT_EQ(read_baseline(folder.path(), missing), BaselineRead::not_findings);
}

}  // namespace
}  // namespace orven::app
