// What each keyword of the rules and gates must be to count when keywords are matched in
// code (the machine formats' --match code), with the reason for each. A keyword's blanks
// are dropped as in text ("class " is the word class); in code the kind says where its ends
// may stand. Beside the rule lists of texts/web_rules.h and texts/cpp_rules.h.
#pragma once

#include <array>
#include <string_view>

namespace orven {

enum class KeywordKind {
  word,       // an identifier or keyword of code, whole: neither end inside a longer word
  prefix,     // code that begins an identifier: its start is not inside a longer word
  suffix,     // code that ends an identifier: its end is not inside a longer word
  variable,   // a PHP variable ($_GET): code (in a string that interpolates it too), ended
  directive,  // a preprocessor line's "#" and its name
  header,     // the header name of an #include line
  tag,        // markup: an HTML tag from its "<", not inside a longer name
  tag_name,   // markup: the name of an HTML tag, right after its "<"
  open_tag,   // a PHP open tag
};

struct KeywordKindEntry {
  std::string_view keyword;  // as the rules write it
  KeywordKind kind;
  std::string_view why;
};

// clang-format off
inline constexpr KeywordKindEntry kKeywordKinds[] = {
    // The gates.
    {"<?php", KeywordKind::open_tag, "opens PHP code in a PHP file"},
    {"</body", KeywordKind::tag, "the closing tag of a page's body"},
    {"<windows.h>", KeywordKind::header, "the header an #include names"},
    {"#include", KeywordKind::directive, "a preprocessor line, \"# include\" too"},
    // Web rules.
    {"fopen", KeywordKind::word, "the PHP function"},
    {"while", KeywordKind::word, "the loop"},
    {"for(", KeywordKind::word, "the loop; blanks may stand before its parenthesis"},
    {"mysql_query", KeywordKind::word, "the PHP function"},
    {"class ", KeywordKind::word, "the keyword; its blank says the word ends (classname is not it)"},
    {" extends ", KeywordKind::word, "the keyword; its blanks say it is a word of its own"},
    {"$_GET", KeywordKind::variable, "the superglobal, also interpolated in a string"},
    {"$_POST", KeywordKind::variable, "the superglobal, also interpolated in a string"},
    {"$_REQUEST", KeywordKind::variable, "the superglobal, also interpolated in a string"},
    {"rsort", KeywordKind::word, "the PHP function"},
    {"qsort", KeywordKind::word, "the function"},
    {"xml", KeywordKind::prefix, "PHP's XML parser functions are named xml_..."},
    {"simplexml_ load_ string", KeywordKind::word,
     "the function simplexml_load_string; in code its blanks would split it into three words, "
     "so it counts in its one-word form, as the advice's example writes it"},
    {"file_get_contents", KeywordKind::word, "the PHP function"},
    {"file_put_contents", KeywordKind::word, "the PHP function"},
    {"mkdir", KeywordKind::word, "the PHP function"},
    {"unlink", KeywordKind::word, "the PHP function"},
    {"chmod", KeywordKind::word, "the PHP function"},
    {"if", KeywordKind::word, "the keyword, not #ifdef nor a longer name"},
    {"iconv", KeywordKind::word, "the PHP function (iconv_strlen and the like are others)"},
    {"scandir", KeywordKind::word, "the PHP function"},
    {"preg_match", KeywordKind::prefix, "preg_match and preg_match_all, as the example shows"},
    {"eval(", KeywordKind::word, "the call"},
    {"eval (", KeywordKind::word, "the call with a blank before its parenthesis"},
    {"mail", KeywordKind::word, "the PHP function (not gmail, not $mail)"},
    {"input", KeywordKind::tag_name, "a form's <input> element"},
    {"form", KeywordKind::tag_name, "a <form> element"},
    {"getElementById", KeywordKind::word, "the DOM method"},
    // C++ rules.
    {"vector", KeywordKind::word, "the container"},
    {"MessageBox", KeywordKind::prefix, "MessageBox and its A, W and Ex forms"},
    {"ShowWindow", KeywordKind::prefix, "ShowWindow and ShowWindowAsync"},
    {"WS_OVERLAPPEDWINDOW", KeywordKind::word, "the window style"},
    {"hbrBackground", KeywordKind::word, "the window class member"},
    {"CreateWindow", KeywordKind::prefix, "CreateWindow and its A, W and Ex forms"},
    {"WM_PAINT", KeywordKind::word, "the message"},
    {"CreateFont", KeywordKind::prefix, "CreateFont, its A and W forms, CreateFontIndirect"},
    {"WM_DESTROY", KeywordKind::word, "the message"},
    {"return", KeywordKind::word, "the keyword"},
    {"GetOpenFileName", KeywordKind::prefix, "GetOpenFileName and its A and W forms"},
    {"lpstrFilter", KeywordKind::word, "the OPENFILENAME member"},
    {"FN_ALLOWMULTISELECT", KeywordKind::suffix,
     "the flag OFN_ALLOWMULTISELECT, whose first letter the keyword lacks"},
    {"OFN_HIDEREADONLY", KeywordKind::word, "the flag"},
    {"WM_CREATE", KeywordKind::word, "the message"},
    {"CreateSolidBrush", KeywordKind::word, "the function"},
    {"WM_KEYDOWN", KeywordKind::word, "the message"},
    {"SetWindowText", KeywordKind::prefix, "SetWindowText and its A and W forms"},
    {"FLASHW_ALL", KeywordKind::word, "the flag"},
    {"AppendMenu", KeywordKind::prefix, "AppendMenu and its A and W forms"},
    {"TrackPopupMenu", KeywordKind::prefix, "TrackPopupMenu and TrackPopupMenuEx"},
    {"WS_EX_TOPMOST", KeywordKind::word, "the extended style"},
    {"ShowColorDialog", KeywordKind::word, "the function"},
    {"SS_", KeywordKind::prefix, "the static control styles SS_..., not ACCESS_BIT"},
    {"LOWORD(wParam)", KeywordKind::word, "the macro on the message's parameter"},
    {"Beep", KeywordKind::word, "the function (not MessageBeep)"},
    {"BS_CHECKBOX", KeywordKind::word, "the button style (BS_AUTOCHECKBOX is another)"},
    {"GetWindowTextLength", KeywordKind::prefix, "GetWindowTextLength and its A and W forms"},
    {"CB_SHOWDROPDOWN", KeywordKind::word, "the message"},
    {"TCM_DELETEITEM", KeywordKind::word, "the message"},
    {"tolower", KeywordKind::word, "the function (not PHP's strtolower)"},
    {"toupper", KeywordKind::word, "the function (not PHP's strtoupper)"},
    {"printf", KeywordKind::word, "the function (sprintf has a rule of its own)"},
    {"puts", KeywordKind::word, "the function (not fputs)"},
    {"fscanf", KeywordKind::word, "the function"},
    {"itoa", KeywordKind::word, "the function, not the letters \"it\" and \"oa\" of two words"},
    {"for", KeywordKind::word, "the loop"},
    {"atoi", KeywordKind::word, "the function"},
    {"sprintf", KeywordKind::word, "the function"},
};
// clang-format on

// The kind of a keyword as a rule or gate writes it (the keywords both lists share are
// listed once); word for one not listed.
constexpr KeywordKind kind_of(std::string_view keyword) {
  for (const KeywordKindEntry& entry : kKeywordKinds) {
    if (entry.keyword == keyword) return entry.kind;
  }
  return KeywordKind::word;
}

}  // namespace orven
