// The closing chapters of the training report, checked against the texts the report must
// carry: the advice chapter's shape, the 39 reference blocks byte for byte, the footer and
// the balance of the divisions.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "advisor/advisor.h"
#include "texts/cp1251.h"
#include "texts/product.h"
#include "workspace/workspace.h"

namespace orven {
namespace {

using namespace texts::literals;

constexpr std::string_view kAdviceOpener = "<p>"_cp;
constexpr std::string_view kExampleOpener = "</p><div class=\"code_b1\"><p>"_cp;
constexpr std::string_view kBlockCloser = "</p></div>\n\n"_cp;

constexpr std::string_view kChapterOpening =
    "</div><div class=\"b1\"><h2>Самое важное при разработке программ</h2>\n"_cp;
constexpr std::string_view kHeuristicIntroduction =
    "<p>Эвристический модуль — это небольшая экспертная система, которая всегда возвращает результат своей работы в булевом виде, где 1 говорит об истинности утверждения, а 0 о ложности утверждения. Важно учесть, что в ряде случаев некоторые функции не смогут дать точный результат.</p>\n"_cp;
constexpr std::string_view kWarningHead =
    "<p><p style=\"background-color: #fafa74; border-left: 10px solid #f60808;\"><strong>Внимание!</strong> Регулярно проверяйте актуальность ОРВЕН (сейчас используете версию 10.4.1) только на "_cp;
constexpr std::string_view kDocumentEnd = "</div></body></html>"_cp;

// The first words of the eight advice paragraphs, and which of them keep a space before
// their closing tag.
struct ParagraphStart {
  std::string_view words;
  bool space_before_close;
};
constexpr std::array<ParagraphStart, 8> kParagraphStarts = {{
    {"В природе не существует «волшебной таблетки ото всех проблем»"_cp, true},
    {"Если на этапе проектирования выбран верный метод решения проблемы"_cp, false},
    {"В чистом виде такого понятия как «программирование» нет."_cp, false},
    {"Нейтральный пример:"_cp, true},
    {"Головной мозг человека эволюционно не приспособлен"_cp, true},
    {"Даже профессионалу очень тяжело ориентироваться"_cp, false},
    {"Задумайтесь."_cp, false},
    {"Путь осознанности. Путь мудрости во всём."_cp, false},
}};

struct Entry {
  std::string_view description;
  std::string_view command;
};
// The command reference in report order: entries 1-9 before the heuristic introduction,
// 10-39 after it.
constexpr std::array<Entry, 39> kEntries = {{
    {"Эффективность разработки программ. Затрачено часов, стоимость часа и ожидаемая прибыль."_cp,
     "#root::math::oerp 10 20 500"_cp},  // 1
    {"Прогноз конверсии среднестатистического сайта при посещениях:"_cp,
     "#root::math::pkss 1500"_cp},                                                    // 2
    {"Найти CTR при 100 показах и 10 кликах:"_cp, "#root::math::get_ctr 100 10"_cp},  // 3
    {"Конверсия, при 1000 звонках (визитах, CPA) и 10 заказах:"_cp,
     "#root::math::get_cnvr 1000 10"_cp},  // 4
    {"Бюджет цели, при 100 достижениях и 15 рублей за достижение:"_cp,
     "#root::math::get_aimcost 100 15"_cp},  // 5
    {"Прогноз активности в блогах (создали к прочитали), с параметром прочитали:"_cp,
     "#root::math::pavbsm 5210"_cp},  // 6
    {"Прогноз прохождения барьера «танцующих свинок» при общем числе пользователей:"_cp,
     "#root::math::pbtscp 437"_cp},  // 7
    {"Вероятная погрешность счётчика «ЯндексМетрика». Параметр: посещаемость сайта."_cp,
     "#root::math::vptya 1000"_cp},  // 8
    {"Вероятная погрешность счётчика «ГуглАналитикс». Параметр: посещаемость сайта."_cp,
     "#root::math::vptga 1000"_cp},  // 9
    {"Целесообразность использования CMS при количестве страниц:"_cp,
     "#root::hv::get_needcms 15"_cp},  // 10
    {"Снизит ли <em>$.ajax({type: \"POST\", url: \"i.php\", cache: \"false\", data: vat_serialize });</em> нагрузку на сервер при запросах в секунду:"_cp,
     "#root::hv::get_ajax 5"_cp},  // 11
    {"Много ли данных (Кб) при передачи методом <em>$(\"#code\").append(\"123\");</em>"_cp,
     "#root::hv::get_jqappend 11"_cp},  // 12
    {"Вызывает ли «подвисание» браузера <em>$(\"#code\").animate({width: \"30%\",  opacity: 0.6}, 1200);</em> при активных объектах (кол-во):"_cp,
     "#root::hv::get_jqanimate 2"_cp},  // 13
    {"Снизит ли нагрузку исключение <em>if($_SERVER['REQUEST_URI'] == '/') {echo file_get_contents(\"1.html\");exit();}</em> при количестве посещений в час:"_cp,
     "#root::hv::get_sgmsricms 150"_cp},  // 14
    {"Снизит ли нагрузку Drupal получение контента <em>$node->body['und']['0']['value'];</em> при количестве посещений в час:"_cp,
     "#root::hv::get_dagcn 100"_cp},  // 15
    {"Есть ли вероятность санкций поисковых систем, если столько <em>$(\"#code\").css({color:\"#000\"});</em> на главной странице:"_cp,
     "#root::hv::get_domcss 1"_cp},  // 16
    {"Есть ли вероятность санкций поисковых систем, если столько <em>$(\"#code\").toggle(\"slow\");</em> на главной странице:"_cp,
     "#root::hv::get_domtoggle 1"_cp},  // 17
    {"Проверка на оптимальную длину TITLE, количество символов: "_cp,
     "#root::hv::get_strlenTITLE 20"_cp},  // 18
    {"Проверка на оптимальную длину H1, количество символов:"_cp,
     "#root::hv::get_strlenH1 20 "_cp},  // 19
    {"Проверка на оптимальную длину H2, количество символов:"_cp,
     "#root::hv::get_strlenH2 20"_cp},  // 20
    {"Проверка на оптимальную длину H3, количество символов:"_cp,
     "#root::hv::get_strlenH3 20"_cp},  // 21
    {"Проверка на оптимальную длину H4, количество символов:"_cp,
     "#root::hv::get_strlenH4 20"_cp},  // 22
    {"Проверка на оптимальную длину KW, количество символов:"_cp,
     "#root::hv::get_strlenKW 20"_cp},  // 23
    {"Проверка на оптимальную длину DES, количество символов:"_cp,
     "#root::hv::get_strlenDES 20"_cp},  // 24
    {"Проверка на оптимальную длину STRONG, количество символов:"_cp,
     "#root::hv::get_strlenSTRONG 20"_cp},  // 25
    {"Проверка на оптимальную длину EM, количество символов:"_cp,
     "#root::hv::get_strlenEM 20"_cp},  // 26
    {"Проверка на оптимальную длину ALT, количество символов:"_cp,
     "#root::hv::get_strlenALT 20"_cp},  // 27
    {"Проверка на оптимальную длину TITLE= (атрибут), количество символов:"_cp,
     "#root::hv::get_strlenTITLE_atr 20"_cp},  // 28
    {"Проверка на плотность в TITLE, количество ключевых слов:  "_cp,
     "#root::hv::get_cntwordTITLE 2"_cp},  // 29
    {"Проверка на плотность в H1, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordH1 2"_cp},  // 30
    {"Проверка на плотность в H2, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordH2 2"_cp},  // 31
    {"Проверка на плотность в H3, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordH3 2"_cp},  // 32
    {"Проверка на плотность в H4, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordH4 2"_cp},  // 33
    {"Проверка на плотность в KW, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordKW 2"_cp},  // 34
    {"Проверка на плотность в DES, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordDES 2"_cp},  // 35
    {"Проверка на плотность в STRONG, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordSTRONG 2"_cp},  // 36
    {"Проверка на плотность в EM, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordEM 2"_cp},  // 37
    {"Проверка на плотность в ALT, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordALT 2"_cp},  // 38
    {"Проверка на плотность в TITLE= (атрибут), количество ключевых слов: "_cp,
     "#root::hv::get_cntwordTITLE_atr 2"_cp},  // 39
}};

std::string block(const Entry& e) {
  return std::string(kAdviceOpener) + std::string(e.description) + std::string(kExampleOpener) +
         std::string(e.command) + std::string(kBlockCloser);
}

// A fresh workspace with the block pieces set by hand and a marker in the report, so that
// the closing text is exactly what follows the marker.
constexpr std::string_view kMarker = "<!-- before -->";

std::string closing_text() {
  WorkspacePtr w = create_workspace();
  advice_opener(*w) = kAdviceOpener;
  example_opener(*w) = kExampleOpener;
  block_closer(*w) = kBlockCloser;
  report(*w) = kMarker;
  append_closing_chapters(*w);
  const std::string& text = report(*w);
  EXPECT_EQ(text.compare(0, kMarker.size(), kMarker), 0) << "the report was not appended to";
  return text.substr(kMarker.size());
}

// Reads the closing text front to back.
struct Cursor {
  std::string_view rest;
  bool take(std::string_view exact) {
    if (rest.substr(0, exact.size()) != exact) return false;
    rest.remove_prefix(exact.size());
    return true;
  }
  // Everything up to and including the first `end`; empty when `end` does not occur.
  std::string_view take_through(std::string_view end) {
    const std::size_t at = rest.find(end);
    if (at == std::string_view::npos) return {};
    std::string_view piece = rest.substr(0, at + end.size());
    rest.remove_prefix(piece.size());
    return piece;
  }
};

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + what.size())) {
    ++n;
  }
  return n;
}

// Depth of the division tree after walking `text` from `depth`; -1 if it ever went below 0.
int division_depth(std::string_view text, int depth) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text.compare(at, 4, "<div") == 0) ++depth;
    if (text.compare(at, 6, "</div>") == 0 && --depth < 0) return -1;
  }
  return depth;
}

// The chapter: its heading, then exactly eight paragraphs, each beginning with its words,
// 390-620 bytes long, with the space before "</p>" only in paragraphs 1, 4 and 5; then the
// reference introduction, one paragraph opening with "Вот и всё!" and naming the log file.
TEST(ClosingChapters, AdviceChapterAndReferenceIntroduction) {
  const std::string text = closing_text();
  Cursor c{text};
  ASSERT_TRUE(c.take(kChapterOpening));
  for (std::size_t i = 0; i < kParagraphStarts.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "paragraph " << i + 1);
    const std::string_view p = c.take_through("</p>\n");
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p.substr(0, 3), "<p>");
    EXPECT_EQ(p.substr(3, kParagraphStarts[i].words.size()), kParagraphStarts[i].words);
    EXPECT_GE(p.size(), 390u);
    EXPECT_LE(p.size(), 620u);
    EXPECT_EQ(p[p.size() - 6] == ' ', kParagraphStarts[i].space_before_close);
    EXPECT_EQ(p.find('<', 3), p.size() - 5) << "one plain paragraph, no markup inside";
  }
  const std::string_view intro = c.take_through("</p>\n");
  EXPECT_EQ(intro.substr(0, 13), "<p>Вот и всё!"_cp);
  EXPECT_NE(intro.find("«orven_log.txt»"_cp), std::string_view::npos);
  EXPECT_EQ(intro.find('<', 3), intro.size() - 5);
  EXPECT_TRUE(c.take(block(kEntries[0]))) << "the reference follows the introduction";
}

// The reference: 9 math blocks, the heuristic introduction, 30 verdict blocks, each block
// exactly advice opener + description + example opener + command line + closer, trailing
// spaces and markup kept; then the chapter closes and the footer opens.
TEST(ClosingChapters, CommandReferenceBlocks) {
  const std::string text = closing_text();
  Cursor c{text};
  const std::size_t intro_end = text.find("orven_log.txt"_cp);
  ASSERT_NE(intro_end, std::string::npos);
  c.rest.remove_prefix(text.find("</p>\n", intro_end) + 5);
  for (std::size_t i = 0; i < kEntries.size(); ++i) {
    if (i == 9) {
      ASSERT_TRUE(c.take(kHeuristicIntroduction));
    }
    ASSERT_TRUE(c.take(block(kEntries[i]))) << "entry " << i + 1;
  }
  EXPECT_TRUE(c.take("</div>\n\n<div class=\"b1\">\n"));

  // Counted without the table: 9 example boxes before the introduction, 30 after it.
  const std::size_t heuristic = text.find(kHeuristicIntroduction);
  ASSERT_NE(heuristic, std::string::npos);
  EXPECT_EQ(count(text.substr(0, heuristic), "<div class=\"code_b1\">"), 9u);
  EXPECT_EQ(count(text.substr(heuristic), "<div class=\"code_b1\">"), 30u);
  EXPECT_EQ(count(text, "#root::math::"), 9u);
  EXPECT_EQ(count(text, "#root::hv::get_"), 30u);
}

// The footer: the warning paragraph with its doubled tags and the link to the site, the
// copyright paragraph naming the author as a link to the same site, then the closing tags
// and nothing after the last one.
TEST(ClosingChapters, Footer) {
  const std::string text = closing_text();
  const std::size_t footer = text.rfind("<div class=\"b1\">\n");
  ASSERT_NE(footer, std::string::npos);
  Cursor c{std::string_view(text).substr(footer)};
  ASSERT_TRUE(c.take("<div class=\"b1\">\n"));
  ASSERT_TRUE(c.take(kWarningHead));
  const std::string link = "<a href=\"" + std::string(texts::kSiteAddress) + "\">" +
                           std::string("официальном сайте"_cp) + "</a>";
  EXPECT_TRUE(c.take(link));
  EXPECT_TRUE(c.take("!</p></p>\n\n"));

  const std::string_view copyright = c.take_through("</p>\n");
  EXPECT_EQ(copyright.substr(0, 3), "<p>");
  EXPECT_NE(copyright.find("2012"), std::string_view::npos);
  const std::string author =
      "<a href=\"" + std::string(texts::kSiteAddress) + "\">" + std::string(texts::kMaker) + "</a>";
  EXPECT_NE(copyright.find(author), std::string_view::npos);

  EXPECT_EQ(c.rest, std::string("</div>\n\n") + std::string(kDocumentEnd));
  EXPECT_TRUE(text.ends_with(kDocumentEnd));
}

// Divisions: the closing text closes the two it finds open and every one it opens, in
// order; on a report begun as usual the whole document balances, and with no section the
// header's opening is followed directly by the chapter (an empty results division).
TEST(ClosingChapters, DivisionsBalance) {
  const std::string text = closing_text();
  EXPECT_EQ(count(text, "</div>"), count(text, "<div") + 2);
  EXPECT_EQ(division_depth(text, 2), 0);

  WorkspacePtr w = create_workspace();
  begin_report(*w);
  const std::string header = report(*w);
  append_closing_chapters(*w);
  const std::string& whole = report(*w);
  ASSERT_TRUE(whole.starts_with(header));
  EXPECT_EQ(division_depth(whole, 0), 0);
  EXPECT_TRUE(whole.ends_with(kDocumentEnd));
  EXPECT_EQ(whole.substr(header.size() - 18, 18 + kChapterOpening.size()),
            std::string("<div class=\"b1\">\n\n") + std::string(kChapterOpening));
  EXPECT_EQ(whole.substr(header.size()), text) << "the same text on every run";
}

// The blocks are made from the workspace's own pieces (slots 301-303), which stay as set.
TEST(ClosingChapters, BlocksUseTheWorkspacePieces) {
  WorkspacePtr w = create_workspace();
  advice_opener(*w) = "[A]";
  example_opener(*w) = "[E]";
  block_closer(*w) = "[C]";
  append_closing_chapters(*w);
  const std::string& text = report(*w);
  EXPECT_EQ(count(text, "[A]"), 39u);
  EXPECT_EQ(count(text, "[E]"), 39u);
  EXPECT_EQ(count(text, "[C]"), 39u);
  EXPECT_NE(text.find("[A]" + std::string(kEntries[18].description) + "[E]" +
                      std::string(kEntries[18].command) + "[C]"),
            std::string::npos);
  EXPECT_EQ(advice_opener(*w), "[A]");
  EXPECT_EQ(count(text, "<div class=\"code_b1\">"), 0u);
}

}  // namespace
}  // namespace orven
