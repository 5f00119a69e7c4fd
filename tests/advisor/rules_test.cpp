// The two sections: their gates and order, the rule lists in order with their shared
// keywords, and every advice and example text as the report carries it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "training_fixture.h"

namespace orven::testing {
namespace {

using Sections = TrainingTest;
using V = std::vector<int>;

// The web gate ("<?php", "</body") and the C++ gate ("<windows.h>", "#include"), each tested
// in every run; the web section always comes first.
TEST_F(Sections, GatesDecideWhichSectionsAppear) {
  struct Case {
    std::string source;
    bool web, cpp;
  };
  for (const Case& c : std::vector<Case>{
           {"<?php echo 1; ?>", true, false},
           {"<html><body></body></html>", true, false},
           {"#include <windows.h>", false, true},
           {"<windows.h>", false, true},
           {"#include \"a.h\"\n</body>", true, true},
           {"<? php", true, false},                               // words join
           {"# include", false, true},                            // words join
           {"<?PHP </BODY> #INCLUDE <Windows.h>", false, false},  // case counts
           {"int main() { return 0; }", false, false},
           {"", false, false},
           {" \t\r\n\v\f ", false, false},
       }) {
    ASSERT_EQ(run(c.source).status, ModeOutcome::Status::ok);
    const std::string_view text = sections();
    const std::size_t web = text.find(kWebHeading);
    const std::size_t cpp = text.find(kCppHeading);
    EXPECT_EQ(web != std::string_view::npos, c.web) << c.source;
    EXPECT_EQ(cpp != std::string_view::npos, c.cpp) << c.source;
    if (c.web && c.cpp) {
      EXPECT_LT(web, cpp);
    }
    if (c.web) {
      EXPECT_EQ(web, 0u) << "the heading follows the header directly";
    }
    if (!c.web && !c.cpp) {
      EXPECT_EQ(text, "") << c.source;
    }
  }
}

// A zero byte ends every search: what stands after it opens nothing. A UTF-16 source has a
// zero byte after its first character and so yields no section at all.
TEST_F(Sections, ZeroByteAndUtf16Source) {
  run(std::string("<?php fopen\0 #include mail", 26));
  EXPECT_EQ(web_rules(), (V{1, 25, 26, 27, 28}));
  EXPECT_EQ(sections().find(kCppHeading), std::string_view::npos);

  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string_view("<?php\r\n#include <windows.h>\r\n")) {
    utf16 += c;
    utf16 += '\0';
  }
  run(utf16);
  EXPECT_EQ(sections(), "");
}

// Blocks follow list order, never the source's order; a keyword that occurs often yields
// one block; rules 6 and 10 share their keywords; 13 to 15 share their example; rules 25
// to 28 have no keyword.
TEST_F(Sections, WebRulesInListOrder) {
  run("</body>");
  EXPECT_EQ(web_rules(), (V{25, 26, 27, 28}));
  run("<?php chmod unlink mkdir fopen fopen file_get_contents $_REQUEST fopen");
  EXPECT_EQ(web_rules(), (V{1, 6, 10, 11, 13, 14, 15, 25, 26, 27, 28}));
  run("<?php $_POST simplexml_load_string rsort");
  EXPECT_EQ(web_rules(), (V{6, 7, 8, 9, 10, 25, 26, 27, 28}));
  run("mysql_query fopen");  // no gate, no web blocks
  EXPECT_EQ(web_rules(), V{});
}

// Whitespace separates nothing: 'for ($i = 0' is "for(" and 'eval ($x)' is "eval(".
TEST_F(Sections, KeywordsFormedAcrossWhitespace) {
  run("<?php for ($i = 0; $i < 3; $i++) eval ($x);");
  EXPECT_EQ(web_rules(), (V{2, 20, 25, 26, 27, 28}));
  run("#include <x> \n Create Window LOWORD( wParam )");
  EXPECT_EQ(cpp_rules(), (V{10, 29}));
}

// Keywords written with blanks are matched without them.
TEST_F(Sections, KeywordsWithBlanksFireInTheirBlankFreeForm) {
  run("<?php class A extends B {} simplexml_load_string($s); eval ($c);");
  EXPECT_EQ(web_rules(), (V{4, 5, 8, 9, 20, 25, 26, 27, 28}));
  run("#include <x>\nclass A {};");
  EXPECT_EQ(cpp_rules(), (V{1}));
}

// "printf" lies inside "sprintf", so it fires rule 37 and then rule 40; itoa and atoi
// together still give rule 40 once; case counts.
TEST_F(Sections, CppRulesInListOrder) {
  run("#include <windows.h>");
  EXPECT_EQ(cpp_rules(), V{});
  run("#include <stdio.h>\nint main() { return 0; }");
  EXPECT_EQ(cpp_rules(), (V{14}));
  run("#include <x> sprintf(buf, x);");
  EXPECT_EQ(cpp_rules(), (V{37, 40}));
  run("#include <x> itoa(1); atoi(s); itoa(2);");
  EXPECT_EQ(cpp_rules(), (V{40}));
  run("#include <x> OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT Messagebox");
  EXPECT_EQ(cpp_rules(), (V{17, 18}));
  run("#include <x> MessageBoxA MessageBoxA");
  EXPECT_EQ(cpp_rules(), (V{6}));
}

std::vector<std::string> split(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  for (std::size_t from = 0;;) {
    const std::size_t at = text.find(separator, from);
    parts.emplace_back(text.substr(from, at - from));
    if (at == std::string_view::npos) return parts;
    from = at + separator.size();
  }
}

// A source that fires every rule of both lists: each block exactly as the lists give it.
// Where an example is fixed only in parts, those parts are checked line by line.
TEST_F(Sections, EveryRuleTextAsTheListsGiveIt) {
  run("<?php #include fopen while mysql_query class extends $_GET rsort xml "
      "simplexml_load_string file_get_contents file_put_contents mkdir unlink chmod if iconv "
      "scandir preg_match eval( mail input form getElementById vector MessageBox ShowWindow "
      "WS_OVERLAPPEDWINDOW hbrBackground CreateWindow WM_PAINT CreateFont WM_DESTROY return "
      "GetOpenFileName lpstrFilter OFN_ALLOWMULTISELECT OFN_HIDEREADONLY WM_CREATE "
      "CreateSolidBrush WM_KEYDOWN SetWindowText FLASHW_ALL AppendMenu TrackPopupMenu "
      "WS_EX_TOPMOST ShowColorDialog SS_ LOWORD(wParam) Beep BS_CHECKBOX GetWindowTextLength "
      "CB_SHOWDROPDOWN TCM_DELETEITEM tolower toupper sprintf puts fscanf");
  const std::string_view text = sections();
  std::string expected(kWebHeading);
  std::map<int, std::vector<std::string>> lines;  // of the partly fixed web examples
  for (std::size_t i = 0; i < kWebExpected.size() + kCppExpected.size(); ++i) {
    const bool web = i < kWebExpected.size();
    const ExpectedRule& rule = web ? kWebExpected[i] : kCppExpected[i - kWebExpected.size()];
    if (i == kWebExpected.size()) expected += kCppHeading;
    const std::string opening = "<p>" + std::string(rule.advice) + "</p><div class=\"code_b1\"><p>";
    std::string_view example = rule.example;
    if (example.empty()) {
      const std::size_t from = text.find(opening) + opening.size();
      example = text.substr(from, text.find("</p></div>", from) - from);
      lines[static_cast<int>(i) + 1] = split(example, "<br/>");
    }
    expected += opening + std::string(example) + "</p></div>\n\n";
  }
  EXPECT_EQ(text, expected);
  ASSERT_EQ(lines.size(), 7u);

  const std::vector<std::string> charset{
      "mysql_query (\"SET NAMES 'utf8'\");",
      "mysql_query (\"SET collation_connection='utf8_general_ci'\");",
      "mysql_query (\"SET collation_server='utf8_general_ci'\");",
      "mysql_query (\"SET character_set_client='utf8'\");",
      "mysql_query (\"SET character_set_connection='utf8'\");",
      "mysql_query (\"SET character_set_results='utf8'\");",
      "mysql_query (\"SET character_set_server='utf8'\");"};
  auto lines_from = [](const std::vector<std::string>& all, std::size_t from, std::size_t n) {
    return std::vector<std::string>(all.begin() + from, all.begin() + from + n);
  };
  using ::testing::EndsWith;
  using ::testing::HasSubstr;
  using ::testing::StartsWith;

  const auto& rule3 = lines[3];
  ASSERT_EQ(rule3.size(), 11u);
  EXPECT_EQ(lines_from(rule3, 0, 7), charset);
  EXPECT_EQ(rule3[7], "");
  EXPECT_THAT(rule3[8], StartsWith(" $"));
  EXPECT_THAT(rule3[8],
              HasSubstr("sprintf(\"INSERT INTO `download_site`.`download` (`url`, `cnt`)"));
  EXPECT_THAT(rule3[8], HasSubstr("'%s')\", "));
  EXPECT_EQ(rule3[9], "mysql_real_escape_string($site));");
  EXPECT_THAT(rule3[10], StartsWith("mysql_query($"));

  const auto& rule4 = lines[4];
  ASSERT_EQ(rule4.size(), 7u);
  EXPECT_EQ(rule4[0], "class morvash_auto");
  EXPECT_EQ(rule4[1], "{");
  EXPECT_THAT(rule4[2], HasSubstr("$test = '';"));
  EXPECT_THAT(rule4[3], HasSubstr("__construct() {echo '';}"));
  EXPECT_THAT(rule4[4], HasSubstr("morvash_auto() {echo '';}"));
  EXPECT_THAT(rule4[5], HasSubstr("__destruct() {echo '';}"));
  EXPECT_EQ(rule4[6], "}");

  const auto& rule5 = lines[5];
  ASSERT_EQ(rule5.size(), 7u);
  EXPECT_THAT(rule5[0], EndsWith("extends morvash_auto"));
  EXPECT_THAT(rule5[2], HasSubstr("getform()"));
  EXPECT_THAT(rule5[4], HasSubstr("foreach ($_POST as $name => $val)"));
  EXPECT_THAT(rule5[4], HasSubstr("&lt;p&gt;"));
  EXPECT_THAT(rule5[4], HasSubstr(" : "));
  EXPECT_THAT(rule5[4], HasSubstr("&lt;/p&gt;"));
  EXPECT_EQ(rule5[6], "}");

  // The three header lines end with a real CR LF inside a double-quoted string.
  const auto& rule21 = lines[21];
  ASSERT_EQ(rule21.size(), 6u);
  EXPECT_THAT(rule21[0], StartsWith("$headers = 'MIME-Version: 1.0'.\"\r\n\";"));
  EXPECT_EQ(rule21[1], "$headers .= 'Content-type: text/html; charset=UTF-8'.\"\r\n\";");
  EXPECT_THAT(rule21[2], HasSubstr("'From: "));
  EXPECT_THAT(rule21[2], HasSubstr("=?utf-8?b?' . base64_encode('USER') . '?= &lt;"));
  EXPECT_THAT(rule21[2], EndsWith("@example.com&gt;'.\"\r\n\";"));
  EXPECT_EQ(rule21[3], "$subject = '=?utf-8?b?' . base64_encode('Сообщение') . '?=';"_cp);
  EXPECT_EQ(rule21[4], "$report = htmlspecialchars($_POST['abcd'], ENT_QUOTES);");
  EXPECT_THAT(rule21[5], StartsWith("if(!mail("));
  EXPECT_THAT(rule21[5], HasSubstr("@example.com"));
  EXPECT_THAT(rule21[5], HasSubstr("$subject, $report , $headers))"));
  EXPECT_THAT(rule21[5], HasSubstr("die('error')"));

  const auto& rule23 = lines[23];
  ASSERT_EQ(rule23.size(), 12u);
  EXPECT_EQ(lines_from(rule23, 0, 3),
            (std::vector<std::string>{"function getdataserver(data)", "{", "var xmlhttp;"}));
  EXPECT_THAT(rule23[3], HasSubstr("new XMLHttpRequest()"));
  EXPECT_THAT(rule23[3], HasSubstr("new ActiveXObject(\"Microsoft.XMLHTTP\")"));
  EXPECT_EQ(lines_from(rule23, 4, 2),
            (std::vector<std::string>{"xmlhttp.onreadystatechange=function()", "{"}));
  EXPECT_THAT(rule23[6], HasSubstr("&amp;&amp;"));
  EXPECT_THAT(rule23[6], HasSubstr("alert(xmlhttp.responseText)"));
  EXPECT_EQ(rule23[7], "}");
  EXPECT_THAT(rule23[8], HasSubstr("\"POST\""));
  EXPECT_THAT(rule23[8], HasSubstr(".php"));
  EXPECT_EQ(lines_from(rule23, 9, 3),
            (std::vector<std::string>{
                "xmlhttp.setRequestHeader(\"Content-type\",\"application/x-www-form-urlencoded\");",
                "xmlhttp.send(data);", "}"}));

  // Twenty-three lines; 20 and 21 are joined by "<br>", so they stand in one piece here.
  const auto& rule25 = lines[25];
  ASSERT_EQ(rule25.size(), 22u);
  EXPECT_EQ(rule25[0], "if(!isset($_GET[\"id\"])) $_GET[\"id\"] = \"main\";");
  EXPECT_EQ(rule25[1], "");
  EXPECT_THAT(
      rule25[2],
      HasSubstr("sprintf(\"SELECT `cache` FROM `morvash` WHERE `name` = '%s' LIMIT 1\",  "));
  EXPECT_THAT(rule25[2], EndsWith("\",  "));
  EXPECT_EQ(rule25[3], "mysql_real_escape_string($_GET[\"id\"]));");
  EXPECT_EQ(rule25[4], "");
  EXPECT_THAT(rule25[5], StartsWith("//"));
  EXPECT_THAT(rule25[5], HasSubstr("/tmp/45.sock"));
  EXPECT_THAT(rule25[6], StartsWith("$morvash_cms_db = mysql_connect("));
  EXPECT_THAT(rule25[6], HasSubstr("only_select"));
  EXPECT_THAT(rule25[6], EndsWith(") or die(mysql_error());"));
  EXPECT_EQ(lines_from(rule25, 7, 7), charset);
  EXPECT_EQ(lines_from(rule25, 14, 8),
            (std::vector<std::string>{
                "", "mysql_select_db(\"t1\", $morvash_cms_db);",
                "$morvash_cms_data = mysql_query($query);",
                "$morvash_cms_print = mysql_fetch_array($morvash_cms_data);", "",
                "mysql_free_result($morvash_cms_data);<br>mysql_close($morvash_cms_db);", "",
                "echo $morvash_cms_print[0];"}));

  const auto& rule27 = lines[27];
  ASSERT_EQ(rule27.size(), 8u);
  EXPECT_EQ(rule27[0], "Options +FollowSymLinks");
  EXPECT_EQ(rule27[1], "RewriteEngine On");
  EXPECT_EQ(rule27[2], "RewriteCond %{HTTP_HOST} ^example\\.com$ [NC]");
  EXPECT_THAT(rule27[3], StartsWith("RewriteRule ^(.*)$ "));
  EXPECT_THAT(rule27[3], EndsWith("www.example.com/$1 [R=301,L]"));
  EXPECT_EQ(rule27[4], "");
  const std::array<std::string, 3> codes{"404", "403", "500"};
  for (std::size_t k = 0; k < codes.size(); ++k) {
    EXPECT_THAT(rule27[5 + k], StartsWith("ErrorDocument " + codes[k] + " "));
    EXPECT_THAT(rule27[5 + k], EndsWith("www.example.com/"));
  }
}

}  // namespace
}  // namespace orven::testing
