// The fixed frame of the report: head template, header, block pieces and the block format.
#include <gtest/gtest.h>

#include <string>

#include "advisor/advisor.h"
#include "texts/cp1251.h"
#include "texts/product.h"
#include "workspace/workspace.h"

namespace orven {
namespace {
using namespace texts::literals;

// The head template and the report header, piece by piece as the report defines them; only
// the maker's copyright notice is free wording.
std::string expected_head_and_header() {
  std::string head;
  head +=
      "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
      "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">";
  head += " ";
  head += "<html xmlns=\"http://www.w3.org/1999/xhtml\">";
  head += "<head> ";
  head += "<title>Отчёт о сканировании исходного кода</title> "_cp;
  head += "<meta http-equiv=\"content-type\" content=\"text/html;charset=windows-1251\" /> ";
  for (const char* name : {"author", "copyright"}) {
    head += std::string("<meta name=\"") + name + "\" content=\"";
    head += texts::kCopyrightNotice;
    head += "\" /> ";
  }
  head += "<style type=\"text/css\">";
  head +=
      "body {background-color: #fff; font-family: Arial,Helvetica,sans-serif; color: #333333; "
      "margin: 0; padding: 0; line-height: 150%;}";
  head += " a{color: #0687e4;}";
  head += " p {font-size: 12px; padding: 10px 3px 3px 3px; margin: 3px}";
  head += " h1 {font-size: 26px;}";
  head += " h2 {font-size: 18px;}";
  head += " em {color: #3b641f;}";
  head += " .t1 {position: absolute; left: 75px; top: 45px; width: 890px;}";
  head += " .b1 {background-color: #ffffff; text-align: justify; padding: 20px; margin: 5px;}";
  head +=
      " .code_b1 {background-color: #eff8fa; padding: 10px; margin: 10px; border-style: dashed; "
      "border-color: #a3c4d6; border-width: 1px;}";
  head += "</style>";
  head += "</head><body><div class=\"t1\"><div class=\"b1\">";
  head += "<h1>Отчёт о сканировании исходного кода</h1>"_cp;
  head +=
      "<p>Анализ выполнен программой ОРВЕН, модуль QTR 0.1.1.  Данная версия программы "
      "промежуточная, т.е. содержит только 5% возможностей. Полная версия появится для свободной "
      "загрузки "_cp;
  head +=
      "<span style=\"font-weight: bolder; color: #fb2503; text-decoration: underline;\">1 "
      "октября 2012 года!</span></p>"_cp;
  head += "</div><div class=\"b1\">\n\n";
  return head;
}

TEST(ReportFrame, BeginReportSetsHeadHeaderAndBlockPieces) {
  WorkspacePtr w = create_workspace();
  report(*w) = "left over";
  begin_report(*w);
  EXPECT_EQ(report(*w), expected_head_and_header());
  EXPECT_EQ(advice_opener(*w), "<p>");
  EXPECT_EQ(example_opener(*w), "</p><div class=\"code_b1\"><p>");
  EXPECT_EQ(example_opener(*w).size(), 28u);
  EXPECT_EQ(block_closer(*w), "</p></div>\n\n");
}

// A block is slot 301, advice, slot 302, example, slot 303, with nothing else around it.
TEST(ReportFrame, RuleBlockIsBuiltFromTheSlotPieces) {
  WorkspacePtr w = create_workspace();
  begin_report(*w);
  const std::string before = report(*w);
  append_rule_block(*w, "Совет:"_cp, "a &lt; b<br/>c");
  EXPECT_EQ(report(*w), before + "<p>" + std::string("Совет:"_cp) +
                            "</p><div class=\"code_b1\"><p>a &lt; b<br/>c</p></div>\n\n");

  report(*w) = "R";
  advice_opener(*w) = "[";
  example_opener(*w) = "|";
  block_closer(*w) = "]";
  append_rule_block(*w, "", "x");
  EXPECT_EQ(report(*w), "R[|x]");
}

}  // namespace
}  // namespace orven
