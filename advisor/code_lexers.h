// What each byte of a source is, for matching keywords in code: small hand-written state
// machines per language, as editors' highlighters are, one pass over the bytes. C and C++:
// comments, string and character literals (raw strings too), preprocessor lines with their
// header names. PHP: outside its tags HTML, inside them code with comments, strings,
// heredocs and nowdocs (a variable inside a string that interpolates it is code). HTML:
// text, tags, comments, and JavaScript in <script>. JavaScript: comments, strings, template
// literals with nested ${} and regular expression literals.
#pragma once

#include <cstdint>
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
  open_tag,   // a PHP open tag "<?php", "<?=" or "<?"
};

// The class of every byte of a whole file in the language (Language::none: all code), into
// `out` (so that a caller may reuse its memory).
void classify(std::string_view text, Language language, std::vector<CodeClass>& out);
std::vector<CodeClass> classify(std::string_view text, Language language);

}  // namespace orven
