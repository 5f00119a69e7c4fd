// The fixed frame of the training report "result.html": the head template with its style
// sheet, the report header, the two section gates and headings, and the three pieces of every
// rule block. advisor/ assembles them; the rule lists and closing chapters live beside this.
#pragma once

#include <array>
#include <string_view>

#include "texts/cp1251.h"
#include "texts/product.h"

namespace orven::texts {

// The head template, one line without breaks. The maker's notice fills the "author" and
// "copyright" meta elements, so the template comes in pieces: walk them in order.
inline constexpr std::string_view kHeadUpToAuthor =
    R"(<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Strict//EN" )"
    R"("http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd"> )"
    R"(<html xmlns="http://www.w3.org/1999/xhtml"><head> )"
    R"(<title>Отчёт о сканировании исходного кода</title> )"
    R"(<meta http-equiv="content-type" content="text/html;charset=windows-1251" /> )"
    R"(<meta name="author" content=")"_cp;
inline constexpr std::string_view kHeadAuthorToCopyright =
    R"(" /> <meta name="copyright" content=")"_cp;
inline constexpr std::string_view kHeadAfterCopyright =
    R"(" /> <style type="text/css">)"
    "body {background-color: #fff; font-family: Arial,Helvetica,sans-serif; color: #333333; "
    "margin: 0; padding: 0; line-height: 150%;} "
    "a{color: #0687e4;} "
    "p {font-size: 12px; padding: 10px 3px 3px 3px; margin: 3px} "
    "h1 {font-size: 26px;} "
    "h2 {font-size: 18px;} "
    "em {color: #3b641f;} "
    ".t1 {position: absolute; left: 75px; top: 45px; width: 890px;} "
    ".b1 {background-color: #ffffff; text-align: justify; padding: 20px; margin: 5px;} "
    ".code_b1 {background-color: #eff8fa; padding: 10px; margin: 10px; border-style: dashed; "
    "border-color: #a3c4d6; border-width: 1px;}"
    R"(</style></head><body><div class="t1"><div class="b1">)"_cp;
inline constexpr std::array<std::string_view, 5> kHeadTemplate{
    kHeadUpToAuthor, kCopyrightNotice, kHeadAuthorToCopyright, kCopyrightNotice,
    kHeadAfterCopyright};

// The report header: title, introduction, and the switch from the first "b1" division to the
// one that holds both sections.
inline constexpr std::string_view kReportHeader =
    "<h1>Отчёт о сканировании исходного кода</h1>"
    "<p>Анализ выполнен программой ОРВЕН, модуль QTR 0.1.1.  Данная версия программы "
    "промежуточная, т.е. содержит только 5% возможностей. Полная версия появится для "
    "свободной загрузки "
    R"(<span style="font-weight: bolder; color: #fb2503; text-decoration: underline;">)"
    "1 октября 2012 года!</span></p>"
    "</div><div class=\"b1\">\n\n"_cp;

// A section opens when any one of its gate keywords occurs, tested in this order.
inline constexpr std::array<std::string_view, 2> kWebGate{"<?php"_cp, "</body"_cp};
inline constexpr std::array<std::string_view, 2> kCppGate{"<windows.h>"_cp, "#include"_cp};

inline constexpr std::string_view kWebHeading =
    "<h2>Результаты анализа веб-кода (PHP и/или XHTML)</h2>"_cp;
inline constexpr std::string_view kCppHeading = "<h2>Результаты анализа кода на C++</h2>"_cp;

// A rule block: advice opener, advice, example opener, example, block closer.
inline constexpr std::string_view kAdviceOpener = "<p>"_cp;
inline constexpr std::string_view kExampleOpener = R"(</p><div class="code_b1"><p>)"_cp;
inline constexpr std::string_view kBlockCloser = "</p></div>\n\n"_cp;

}  // namespace orven::texts
