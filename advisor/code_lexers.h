// What each byte of a source is, for matching keywords in code: small hand-written state
// machines per language, as editors' highlighters are, one pass over the bytes. C and C++:
// comments, string and character literals (raw strings too), preprocessor lines with their
// header names. PHP: outside its tags HTML, inside them code with comments, strings,
// heredocs and nowdocs (a variable inside a string that interpolates it is code). HTML:
// text, tags, comments, and JavaScript in <script>. JavaScript: comments, strings, template
// literals with nested ${} and regular expression literals.
//
// A file may be lexed in pieces, in order, each with the few bytes that follow it
// (kLexAhead): the state carried from one piece to the next holds all the lexer knows, so the
// classes never depend on where a file was cut. No decision looks further ahead than that;
// what would need more is settled the way the lexer that sees the whole file settles it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/languages.h"

namespace orven {

enum class CodeClass : std::uint8_t {
  code,       // code of the language
  comment,    // a comment
  literal,    // a string, character, template or regular expression literal, a heredoc
  text,       // markup text between tags
  tag,        // an HTML tag from its "<" to its ">" (its quoted attribute values are literals)
  directive,  // the "#" that begins a preprocessor line
  header,     // the header name of an #include line, "<" and ">" included
  open_tag,   // a PHP open tag "<?php", "<?=" or "<?", and its close "?>"
};

// How many bytes after a piece its lexing may look at.
inline constexpr std::size_t kLexAhead = 32;

// Where a lexer stands between two pieces of one file. Its modes are code_lexers.cpp's;
// whatever is unbounded (a heredoc's label, template literals nested in ${}, parentheses)
// is capped there, so the state stays small whatever the file.
struct LexState {
  Language language = Language::none;
  std::uint8_t mode = 0;   // the language's mode (in a PHP file: the page's)
  std::uint8_t carry = 0;  // bytes at the start of the next piece that a token took
  CodeClass carry_class = CodeClass::code;
  // C and C++.
  bool line_start = true;  // only blanks and comments since the line began
  // JavaScript.
  bool regex_ok = true;        // a slash here begins a regular expression
  bool keyword_paren = false;  // a "(" here opens the condition of an if, while, for or with
  bool in_class = false;       // inside a regular expression's [...]
  std::int32_t braces = 0;     // braces open
  std::vector<std::int32_t> templates;  // per template literal open in ${}: the braces then
  std::vector<bool> parens;             // per "(" open: whether it opened such a condition
  std::uint32_t parens_over = 0;        // "(" open beyond the cap
  // Pages.
  char page_quote = 0;        // a tag's quoted value's quote, a JavaScript (or C) string's
  std::uint8_t tag_kind = 0;  // the tag being read opens a script (1) or a style (2)
  std::uint32_t dashes = 0;   // dashes just before, in a comment
  // PHP.
  bool php_on = false;  // inside a PHP block (the page's mode waits)
  std::uint8_t php_mode = 0;
  char php_quote = 0;
  bool in_var = false;  // in a variable that a string or heredoc interpolates
  bool nowdoc = false;
  bool label_long = false;    // a heredoc label too long to be matched: it never ends
  std::uint32_t matched = 0;  // the bytes of the heredoc's label matched on its line
  // A heredoc's label, a raw string's delimiter, a preprocessor directive's name.
  std::string label;
  // The word (bytes of identifiers and "$") that the bytes so far end in: its first bytes
  // (up to 16) and its length, for what a quote after it means.
  std::string word;
  std::uint64_t word_length = 0;
  // The last two bytes lexed, the last first; -1 where the file has none.
  int before[2] = {-1, -1};

  friend bool operator==(const LexState&, const LexState&) = default;
};

// The state at the start of a file of the language.
LexState lex_start(Language language);

// Classes the bytes of piece, the bytes of a file right after those the state has seen, into
// out[0] … out[piece.size() - 1], and moves the state past them. `ahead` holds the bytes that
// follow the piece in the file: kLexAhead of them, or fewer exactly where the file ends.
void lex_piece(LexState& state, std::string_view piece, std::string_view ahead, CodeClass* out);

// The class of every byte of a whole file in the language (Language::none: all code), into
// `out` (so that a caller may reuse its memory).
void classify(std::string_view text, Language language, std::vector<CodeClass>& out);
std::vector<CodeClass> classify(std::string_view text, Language language);

}  // namespace orven
