// The closing chapters of every training report: the general advice chapter, the reference
// of the script commands that expert mode runs, and the footer that closes the document.
// The texts are fixed; advisor/closing.cpp only appends them to the report in order.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "texts/cp1251.h"
#include "texts/join.h"
#include "texts/product.h"

namespace orven::texts::closing {

namespace detail {

inline constexpr std::string_view kLinkOpen = "<a href=\""_cp;
inline constexpr std::string_view kLinkMiddle = "\">"_cp;
inline constexpr std::string_view kLinkClose = "</a>"_cp;

inline constexpr std::string_view kWarningHead =
    "<p><p style=\"background-color: #fafa74; border-left: 10px solid #f60808;\"><strong>Внимание!</strong> Регулярно проверяйте актуальность ОРВЕН (сейчас используете версию "_cp;
inline constexpr std::string_view kWarningVersionTail = ") только на "_cp;
inline constexpr std::string_view kWarningLinkText = "официальном сайте"_cp;
// The paragraph tags are doubled on purpose: the outer pair is bare, the inner one styled.
inline constexpr std::string_view kWarningTail = "!</p></p>\n\n"_cp;

inline constexpr std::string_view kCopyrightHead = "<p>© 2011–2012 "_cp;
inline constexpr std::string_view kCopyrightTail = ". Все права защищены.</p>\n"_cp;

}  // namespace detail

// Closes the results division and opens the chapter division with its heading.
inline constexpr std::string_view kChapterOpening =
    "</div><div class=\"b1\"><h2>Самое важное при разработке программ</h2>\n"_cp;

// The general advice chapter, in reading order. Paragraphs 1, 4 and 5 keep a space before
// their closing tag.
inline constexpr std::array<std::string_view, 8> kAdviceParagraphs = {
    "<p>В природе не существует «волшебной таблетки ото всех проблем», потому что задачи бесконечно разнообразны: каждая новая отличается от прежних условиями, сроками, людьми и инструментами. Поэтому эффективность программиста заключается не в механическом написании кода строка за строкой, а в умении найти самое простое, самое быстрое и самое удобное решение именно для этой задачи. Отсюда главный вывод: самое важное при разработке программ — это методология, то есть способ, которым вы приходите к решению. </p>\n"_cp,
    "<p>Если на этапе проектирования выбран верный метод решения проблемы, то скорость разработки и надёжность программы возрастают многократно: меньше кода, меньше ошибок, меньше переделок. Неверный метод, напротив, приходится подпирать заплатками, и каждая следующая правка обходится дороже предыдущей. Когда я по-настоящему это понял, мой собственный код, написанный совсем недавно, очень скоро стал казаться мне громоздким. И это хороший знак: значит, появилось умение видеть более короткий путь к цели.</p>\n"_cp,
    "<p>В чистом виде такого понятия как «программирование» нет. Программирование — это всегда решение конкретных задач конкретным инструментом. Возьмём нож: повар, хирург и резчик по дереву пользуются ножом каждый день, но мастерство одного ничего не говорит о мастерстве другого. Так и в нашем деле: навык называется не общим словом «программист», а тем, что человек действительно создавал своими руками много раз, — интернет-магазины, драйверы, игры или системы учёта.</p>\n"_cp,
    "<p>Нейтральный пример: обучение вождению автомобиля. Можно выучить наизусть правила дорожного движения и устройство двигателя, но водителем от этого не станешь. Можно, наоборот, сразу сесть за руль, не зная правил, и быстро попасть в беду. Уверенно водить машину человек начинает лишь через годы, в течение которых теория всё время подкрепляется практикой, а практика — теорией. С программированием происходит ровно то же самое: навык появляется только из многолетнего сочетания знаний с постоянной практикой. </p>\n"_cp,
    "<p>Головной мозг человека эволюционно не приспособлен к тому, чтобы удерживать сложные абстракции без опоры на опыт. Ему нужны сразу две вещи: практический навык, закреплённый руками, и теоретическое понимание, которое объясняет, почему этот навык работает. Много лет я читал книги и документацию, писал программы для себя и для заказчиков и искал какой-то особый секрет мастерства. Никакого секрета я так и не нашёл, кроме одного: всегда учиться и постоянно работать над собой. </p>\n"_cp,
    "<p>Даже профессионалу очень тяжело ориентироваться в современном информационном пространстве: оно засорено рекламой, пересказами пересказов, устаревшими советами и откровенными ошибками. Чтобы не утонуть в этом потоке, нужна прочная опора. Каждому из нас, независимо от профессии, помогают здоровый образ жизни, постоянное профессиональное и физическое развитие и забота о своей семье. Звучит просто, но именно такие простые вещи дают ясную голову и силы для сложной работы.</p>\n"_cp,
    "<p>Задумайтесь. Как мало мы на самом деле знаем о смысле жизни! Философы и учёные спорят о нём тысячи лет, а окончательного ответа нет до сих пор. Но для каждого из нас важнее другое: насколько осознанно мы проживаем каждый свой момент — за работой, за книгой, рядом с близкими. Я стараюсь помнить об этом всякий раз, когда сажусь писать код: час, прожитый внимательно, стоит больше целого дня, проведённого на автопилоте.</p>\n"_cp,
    "<p>Путь осознанности. Путь мудрости во всём. Изучайте как можно больше хорошей информации: официальную документацию, толковые книги, специализированные сайты, опыт коллег и чужой код, особенно код тех, кто пишет лучше вас. Прежде чем что-либо делать, остановитесь и подумайте, какую пользу принесёт ваша работа и каким самым простым способом можно решить поставленную задачу. Я не раз убеждался на собственном опыте, что такая минута размышлений экономит часы, а иногда и недели труда.</p>\n"_cp,
};

// Leads from the chapter into the command reference.
inline constexpr std::string_view kReferenceIntroduction =
    "<p>Вот и всё! Ниже приведены ещё несколько простых функций ОРВЕН, которые могут пригодиться при разработке и при экономическом обосновании проекта. Каждая команда записывается отдельной строкой в любом текстовом файле. Чтобы выполнить команды, выберите экспертный режим, который исполняет такие файлы, и укажите файл с командами. Результаты всегда записываются в файл «orven_log.txt».</p>\n"_cp;

// A command of expert mode as the report shows it: the description is the advice text of its
// block, the command line the example text. The report never runs these lines.
struct ReferenceEntry {
  std::string_view description;
  std::string_view command;
};

// The math commands come first; the heuristic introduction stands between them and the
// verdict commands.
inline constexpr std::size_t kMathEntryCount = 9;

// Order matters: the 9 math entries, then (after the heuristic introduction) the 30 verdict
// entries, each command exactly once. Spaces at the ends of texts are part of them.
inline constexpr std::array<ReferenceEntry, 39> kCommandReference = {{
    // The math commands.
    {"Эффективность разработки программ. Затрачено часов, стоимость часа и ожидаемая прибыль."_cp,
     "#root::math::oerp 10 20 500"_cp},
    {"Прогноз конверсии среднестатистического сайта при посещениях:"_cp,
     "#root::math::pkss 1500"_cp},
    {"Найти CTR при 100 показах и 10 кликах:"_cp, "#root::math::get_ctr 100 10"_cp},
    {"Конверсия, при 1000 звонках (визитах, CPA) и 10 заказах:"_cp,
     "#root::math::get_cnvr 1000 10"_cp},
    {"Бюджет цели, при 100 достижениях и 15 рублей за достижение:"_cp,
     "#root::math::get_aimcost 100 15"_cp},
    {"Прогноз активности в блогах (создали к прочитали), с параметром прочитали:"_cp,
     "#root::math::pavbsm 5210"_cp},
    {"Прогноз прохождения барьера «танцующих свинок» при общем числе пользователей:"_cp,
     "#root::math::pbtscp 437"_cp},
    {"Вероятная погрешность счётчика «ЯндексМетрика». Параметр: посещаемость сайта."_cp,
     "#root::math::vptya 1000"_cp},
    {"Вероятная погрешность счётчика «ГуглАналитикс». Параметр: посещаемость сайта."_cp,
     "#root::math::vptga 1000"_cp},
    // The verdict commands.
    {"Целесообразность использования CMS при количестве страниц:"_cp,
     "#root::hv::get_needcms 15"_cp},
    {"Снизит ли <em>$.ajax({type: \"POST\", url: \"i.php\", cache: \"false\", data: vat_serialize });</em> нагрузку на сервер при запросах в секунду:"_cp,
     "#root::hv::get_ajax 5"_cp},
    {"Много ли данных (Кб) при передачи методом <em>$(\"#code\").append(\"123\");</em>"_cp,
     "#root::hv::get_jqappend 11"_cp},
    // 13: the description has two spaces before "opacity".
    {"Вызывает ли «подвисание» браузера <em>$(\"#code\").animate({width: \"30%\",  opacity: 0.6}, 1200);</em> при активных объектах (кол-во):"_cp,
     "#root::hv::get_jqanimate 2"_cp},
    {"Снизит ли нагрузку исключение <em>if($_SERVER['REQUEST_URI'] == '/') {echo file_get_contents(\"1.html\");exit();}</em> при количестве посещений в час:"_cp,
     "#root::hv::get_sgmsricms 150"_cp},
    {"Снизит ли нагрузку Drupal получение контента <em>$node->body['und']['0']['value'];</em> при количестве посещений в час:"_cp,
     "#root::hv::get_dagcn 100"_cp},
    {"Есть ли вероятность санкций поисковых систем, если столько <em>$(\"#code\").css({color:\"#000\"});</em> на главной странице:"_cp,
     "#root::hv::get_domcss 1"_cp},
    {"Есть ли вероятность санкций поисковых систем, если столько <em>$(\"#code\").toggle(\"slow\");</em> на главной странице:"_cp,
     "#root::hv::get_domtoggle 1"_cp},
    // 18: the description ends with a space.
    {"Проверка на оптимальную длину TITLE, количество символов: "_cp,
     "#root::hv::get_strlenTITLE 20"_cp},
    // 19: the command ends with a space.
    {"Проверка на оптимальную длину H1, количество символов:"_cp, "#root::hv::get_strlenH1 20 "_cp},
    {"Проверка на оптимальную длину H2, количество символов:"_cp, "#root::hv::get_strlenH2 20"_cp},
    {"Проверка на оптимальную длину H3, количество символов:"_cp, "#root::hv::get_strlenH3 20"_cp},
    {"Проверка на оптимальную длину H4, количество символов:"_cp, "#root::hv::get_strlenH4 20"_cp},
    {"Проверка на оптимальную длину KW, количество символов:"_cp, "#root::hv::get_strlenKW 20"_cp},
    {"Проверка на оптимальную длину DES, количество символов:"_cp,
     "#root::hv::get_strlenDES 20"_cp},
    {"Проверка на оптимальную длину STRONG, количество символов:"_cp,
     "#root::hv::get_strlenSTRONG 20"_cp},
    {"Проверка на оптимальную длину EM, количество символов:"_cp, "#root::hv::get_strlenEM 20"_cp},
    {"Проверка на оптимальную длину ALT, количество символов:"_cp,
     "#root::hv::get_strlenALT 20"_cp},
    {"Проверка на оптимальную длину TITLE= (атрибут), количество символов:"_cp,
     "#root::hv::get_strlenTITLE_atr 20"_cp},
    // 29: the description ends with two spaces.
    {"Проверка на плотность в TITLE, количество ключевых слов:  "_cp,
     "#root::hv::get_cntwordTITLE 2"_cp},
    // 30 to 39: each description ends with a space.
    {"Проверка на плотность в H1, количество ключевых слов: "_cp, "#root::hv::get_cntwordH1 2"_cp},
    {"Проверка на плотность в H2, количество ключевых слов: "_cp, "#root::hv::get_cntwordH2 2"_cp},
    {"Проверка на плотность в H3, количество ключевых слов: "_cp, "#root::hv::get_cntwordH3 2"_cp},
    {"Проверка на плотность в H4, количество ключевых слов: "_cp, "#root::hv::get_cntwordH4 2"_cp},
    {"Проверка на плотность в KW, количество ключевых слов: "_cp, "#root::hv::get_cntwordKW 2"_cp},
    {"Проверка на плотность в DES, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordDES 2"_cp},
    {"Проверка на плотность в STRONG, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordSTRONG 2"_cp},
    {"Проверка на плотность в EM, количество ключевых слов: "_cp, "#root::hv::get_cntwordEM 2"_cp},
    {"Проверка на плотность в ALT, количество ключевых слов: "_cp,
     "#root::hv::get_cntwordALT 2"_cp},
    {"Проверка на плотность в TITLE= (атрибут), количество ключевых слов: "_cp,
     "#root::hv::get_cntwordTITLE_atr 2"_cp},
}};

// Introduces the verdict commands; a plain paragraph, not a block.
inline constexpr std::string_view kHeuristicIntroduction =
    "<p>Эвристический модуль — это небольшая экспертная система, которая всегда возвращает результат своей работы в булевом виде, где 1 говорит об истинности утверждения, а 0 о ложности утверждения. Важно учесть, что в ряде случаев некоторые функции не смогут дать точный результат.</p>\n"_cp;

// Closes the chapter division.
inline constexpr std::string_view kChapterClosing = "</div>\n\n"_cp;

// Opens the footer division.
inline constexpr std::string_view kFooterOpening = "<div class=\"b1\">\n"_cp;

// Sends the reader to the product's site for the current version.
inline constexpr std::string_view kWarningParagraph =
    Joined<detail::kWarningHead, kVersion, detail::kWarningVersionTail, detail::kLinkOpen,
           kSiteAddress, detail::kLinkMiddle, detail::kWarningLinkText, detail::kLinkClose,
           detail::kWarningTail>::kText;

// The years and the author, whose name links to the product's site.
inline constexpr std::string_view kCopyrightParagraph =
    Joined<detail::kCopyrightHead, detail::kLinkOpen, kSiteAddress, detail::kLinkMiddle, kMaker,
           detail::kLinkClose, detail::kCopyrightTail>::kText;

// Closes the footer division.
inline constexpr std::string_view kFooterClosing = "</div>\n\n"_cp;

// Closes the outer division, the body and the document: the last bytes of every report.
inline constexpr std::string_view kDocumentEnd = "</div></body></html>"_cp;

}  // namespace orven::texts::closing
